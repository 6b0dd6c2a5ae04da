#include "gui/monitor/linelogwindow.h"

#include "core/device/linelog.h"
#include "gui/common/localfiles.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ombrix {

namespace {

constexpr int kCodesPerRow = 16;

QString directionText(LineDirection d) {
    switch (d) {
    case LineDirection::Sent:
        return "Sent";
    case LineDirection::Received:
        return "Received";
    case LineDirection::Discarded:
        return "Discarded";
    }
    return {};
}

QString codesRow(const std::vector<std::uint16_t>& words, std::size_t from) {
    QStringList codes;
    for (std::size_t k = from; k < words.size() && k < from + kCodesPerRow; ++k)
        codes << QString::number(words[k]);
    return codes.join(", ");
}

} // namespace

LineLogWindow::LineLogWindow(LineRecorder& recorder, QWidget* parent)
    : QWidget(parent, Qt::Window), recorder_(recorder) {
    setObjectName("LineLog");
    setWindowTitle("Line log");
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("LineLogTree");
    tree_->setColumnCount(6);
    tree_->setHeaderLabels({"Time [ms]", "Direction", "Command", "Meaning", "Status", "Took [ms]"});
    tree_->setUniformRowHeights(true);
    tree_->setRootIsDecorated(true);
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(3, QHeaderView::Stretch);
    auto* saveButton = new QPushButton("&Save log...", this);
    saveButton->setObjectName("SaveLog");
    auto* clearButton = new QPushButton("C&lear", this);
    clearButton->setObjectName("ClearLog");
    connect(saveButton, &QPushButton::clicked, this, &LineLogWindow::save);
    connect(clearButton, &QPushButton::clicked, this, &LineLogWindow::clear);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(saveButton);
    buttons->addWidget(clearButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_);
    layout->addLayout(buttons);
    timer_ = new QTimer(this);
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &LineLogWindow::fetch);
    resize(900, 420);
}

LineLogWindow::~LineLogWindow() {
    recorder_.setLogging(false);
}

void LineLogWindow::showEvent(QShowEvent* event) {
    recorder_.setLogging(true);
    timer_->start();
    QWidget::showEvent(event);
}

void LineLogWindow::hideEvent(QHideEvent* event) {
    // Closed, the log costs nothing: the recorder lets the writes pass by.
    recorder_.setLogging(false);
    timer_->stop();
    fetch();
    QWidget::hideEvent(event);
}

void LineLogWindow::fetch() {
    const std::uint64_t recorded = recorder_.recorded();
    if (recorded == cursor_)
        return;
    const std::vector<LineEntry> entries = recorder_.entriesSince(cursor_);
    cursor_ = recorded;
    QList<QTreeWidgetItem*> items;
    for (const LineEntry& e : entries) {
        auto* item = new QTreeWidgetItem(
            {QString::number(e.timeMs), directionText(e.direction),
             QString::fromStdString(e.command), QString::fromStdString(e.meaning),
             QString::fromStdString(e.status), e.tookMs >= 0 ? QString::number(e.tookMs) : ""});
        if (e.failure)
            for (int c = 0; c < 6; ++c)
                item->setForeground(c, Qt::red);
        for (std::size_t k = 0; k < e.words.size(); k += kCodesPerRow) {
            auto* row = new QTreeWidgetItem(item);
            row->setText(2, QString("Codes %1-").arg(k));
            row->setText(3, codesRow(e.words, k));
        }
        items << item;
    }
    tree_->addTopLevelItems(items);
    // The window keeps what the recorder keeps: the newest entries.
    while (tree_->topLevelItemCount() > static_cast<int>(kLineLogCapacity))
        delete tree_->takeTopLevelItem(0);
    tree_->scrollToBottom();
}

QString LineLogWindow::saveTo(const QString& path) const {
    QString text;
    QTextStream out(&text);
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree_->topLevelItem(i);
        QStringList fields;
        for (int c = 0; c < 6; ++c)
            fields << item->text(c);
        out << fields.join('\t') << '\n';
        for (int j = 0; j < item->childCount(); ++j)
            out << "\t\t" << item->child(j)->text(2) << '\t' << item->child(j)->text(3) << '\n';
    }
    out.flush();
    const QString error = writeWholeFile(path, text.toUtf8());
    return error.isEmpty()
               ? QString()
               : QStringLiteral("Could not save the log to \"%1\": %2").arg(path, error);
}

void LineLogWindow::clear() {
    fetch();
    tree_->clear();
    recorder_.clear();
}

void LineLogWindow::save() {
    const QString path =
        QFileDialog::getSaveFileName(this, "Save log", "line-log.txt", "Text files (*.txt)");
    if (path.isEmpty())
        return;
    if (const QString error = saveTo(path); !error.isEmpty())
        QMessageBox::critical(this, "Error", error);
}

} // namespace ombrix
