// The main window's charts as the view asks: fit and read-out per view, and saving a chart.
#include "app/ombrix.h"

#include "gui/charts/chartmenu.h"
#include "gui/charts/chartview.h"

#include <QFileDialog>
#include <QTabWidget>

namespace ombrix {

void TOmbrix::applyChartKinds() {
    const ViewKind view = chartMenu_->view();
    const bool decibels = view == ViewKind::Magnitude && chartMenu_->decibels();
    for (ChartView* chart : charts())
        chart->setSpectrum(view != ViewKind::Form, decibels);
}

ChartView* TOmbrix::shownChart() const {
    const int page = pages_->currentIndex();
    return page <= 0 ? general_.ChartAll : outputs_[page - 1].chart;
}

void TOmbrix::saveChartAs() {
    ChartView* chart = menuChart_ && menuChart_->isVisible() ? menuChart_ : shownChart();
    QString name;
    if (prompts_.chartFileName) {
        name = prompts_.chartFileName();
    } else {
        QFileDialog dialog(this, "Save chart as");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters({"PNG image (*.png)", "PDF document (*.pdf)", "SVG drawing (*.svg)"});
        dialog.setDefaultSuffix("png");
        dialog.selectFile(chart->title().replace(' ', '-').toLower());
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            dialog.setDefaultSuffix(filter.startsWith("PDF")   ? "pdf"
                                    : filter.startsWith("SVG") ? "svg"
                                                               : "png");
        });
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            name = dialog.selectedFiles().first();
    }
    if (name.isEmpty())
        return;
    QString error;
    if (!chart->saveAs(name, error))
        showMessage(error, "Error");
}

} // namespace ombrix
