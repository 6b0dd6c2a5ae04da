// The About box: picture, name, credits, the makers' link and the version.
#pragma once

#include <QDialog>

namespace ombrix {

class TCss;

class TAboutForm : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutForm(QWidget* parent = nullptr);
    TCss* link() const { return link_; }

    static constexpr const char* kAddress = "https://ombrix.example.org";

  protected:
    // Centred on the desktop, with the link at rest: when the box hid under the pointer no
    // leave event came.
    void showEvent(QShowEvent* event) override;

  private:
    TCss* link_ = nullptr;
};

} // namespace ombrix
