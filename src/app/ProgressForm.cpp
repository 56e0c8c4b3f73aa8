#include "app/ProgressForm.h"

#include <algorithm>

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace app {
namespace {

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 100;

// Left edge that centres a control of this width in the client area.
int CentredLeft(int width) { return (kClientWidth - width) / 2; }

class TProgressFormHandle : public shell::IProgressWindow {
public:
  explicit TProgressFormHandle(TProgressForm* form) : form_(form) {}
  ~TProgressFormHandle() override { delete form_.data(); }

  void SetLabel(const std::string& text) override {
    if (form_) form_->Label->setText(QString::fromStdString(text));
  }
  void SetMaximum(int maximum) override {
    if (form_) form_->ProgressBar->setMaximum(maximum);
  }
  void SetPosition(int position) override {
    // The bar ignores values outside its range; an engine that overshoots
    // should show a full bar instead.
    if (form_) form_->ProgressBar->setValue(std::clamp(position, form_->ProgressBar->minimum(), form_->ProgressBar->maximum()));
  }
  void Hide() override {
    if (form_) form_->hide();
  }

private:
  QPointer<TProgressForm> form_;
};

}  // namespace

TProgressForm::TProgressForm(QWidget* mainWindow, const std::string& caption, std::function<void()> onCancel)
    : QDialog(mainWindow, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      onCancel_(std::move(onCancel)) {
  setObjectName("ProgressForm");
  setWindowTitle(QString::fromStdString(caption));
  setFixedSize(kClientWidth, kClientHeight);

  Label = new QLabel("wait ...", this);
  Label->setObjectName("Label");
  Label->setTextFormat(Qt::PlainText);
  Label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label->setGeometry(CentredLeft(280), 15, 280, 16);

  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setTextVisible(false);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setGeometry(CentredLeft(280), 35, 280, 16);

  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setDefault(true);
  CancelButton->setGeometry(CentredLeft(75), 60, 75, 25);
  connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });
}

void TProgressForm::reject() {
  if (onCancel_) onCancel_();
  hide();
}

void TProgressForm::PlaceCentred() {
  QRect area;
  const QWidget* main = parentWidget();
  if (main && main->isVisible()) {
    area = main->frameGeometry();
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
}

std::unique_ptr<shell::IProgressWindow> ShowProgressForm(QWidget* mainWindow, const std::string& caption,
                                                         std::function<void()> onCancel) {
  auto* form = new TProgressForm(mainWindow, caption, std::move(onCancel));
  form->PlaceCentred();
  form->show();
  return std::make_unique<TProgressFormHandle>(form);
}

}  // namespace app
