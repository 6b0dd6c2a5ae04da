#include "gui/charts/chartmenu.h"

#include <QActionGroup>

namespace ombrix {

namespace {

QAction* checkable(QMenu* menu, QActionGroup* group, const char* name, const char* caption,
                   bool checked) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(true);
    a->setChecked(checked);
    if (group)
        group->addAction(a);
    return a;
}

} // namespace

int ChartMenu::windowCodeOf(int item) {
    // The codes do not follow the menu order: Blackman is 2, Hanning 3, Hamming 4.
    static constexpr int codes[] = {0, 1, 3, 4, 2};
    return codes[item];
}

ChartMenu::ChartMenu(QWidget* parent) : QMenu(parent) {
    setObjectName("PopupMenuChart");
    Point = checkable(this, nullptr, "Point", "&Point", false);
    Stairs = checkable(this, nullptr, "Stairs", "St&airs", true);
    addSeparator();
    auto* views = new QActionGroup(this);
    Form1 = checkable(this, views, "Form1", "&Form", true);
    FFTamplitude1 = checkable(this, views, "FFTamplitude1", "FF&T magnitude", false);
    FFTreal1 = checkable(this, views, "FFTreal1", "FFT &real", false);
    FFTimag1 = checkable(this, views, "FFTimag1", "FFT &imag", false);
    FFTphase1 = checkable(this, views, "FFTphase1", "FFT p&hase", false);
    MagnitudeDb = checkable(this, nullptr, "MagnitudeDb", "Magnitude in &dB", false);

    QMenu* sizeMenu = addMenu("FFT &Size");
    sizeMenu->setObjectName("FFTSize1");
    auto* sizeGroup = new QActionGroup(this);
    for (int i = 0; i < 9; ++i) {
        const QByteArray text = QByteArray::number(sizeOf(i));
        sizes[i] = checkable(sizeMenu, sizeGroup, ("N" + text).constData(), text.constData(),
                             sizeOf(i) == 2048);
    }
    QMenu* windowMenu = addMenu("Window type");
    windowMenu->setObjectName("Windowtype1");
    auto* windowGroup = new QActionGroup(this);
    const char* names[] = {"Rectangle1", "Triangular1", "Hanning1", "Hamming1", "Blackman1"};
    const char* captions[] = {"&Rectangle", "&Triangular", "&Hanning", "H&amming", "&Blackman"};
    for (int i = 0; i < 5; ++i)
        windows[i] = checkable(windowMenu, windowGroup, names[i], captions[i], i == 0);
    addSeparator();
    Zoomin1 = addAction("Zoom i&n");
    Zoomin1->setObjectName("Zoomin1");
    Zoomout1 = addAction("Zoom &out");
    Zoomout1->setObjectName("Zoomout1");
    Fitgraph1 = addAction("Fit &graph");
    Fitgraph1->setObjectName("Fitgraph1");
    addSeparator();
    SaveChart = addAction("&Save chart as...");
    SaveChart->setObjectName("SaveChart");
}

bool ChartMenu::decibels() const {
    return MagnitudeDb->isChecked();
}

ViewKind ChartMenu::view() const {
    if (FFTamplitude1->isChecked())
        return ViewKind::Magnitude;
    if (FFTreal1->isChecked())
        return ViewKind::Real;
    if (FFTimag1->isChecked())
        return ViewKind::Imag;
    if (FFTphase1->isChecked())
        return ViewKind::Phase;
    return ViewKind::Form;
}

int ChartMenu::fftSize() const {
    for (int i = 0; i < 9; ++i)
        if (sizes[i]->isChecked())
            return sizeOf(i);
    return 2048;
}

int ChartMenu::windowCode() const {
    for (int i = 0; i < 5; ++i)
        if (windows[i]->isChecked())
            return windowCodeOf(i);
    return 0;
}

} // namespace ombrix
