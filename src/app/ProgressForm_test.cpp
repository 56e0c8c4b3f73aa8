#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/MainForm.h"
#include "app/ProgressForm.h"

namespace {

std::unique_ptr<app::TForm1> MakeForm() {
  auto form = std::make_unique<app::TForm1>(shell::TPortalTable{}, "annoncia-gui", std::vector<std::string>{});
  form->Timer1->stop();
  return form;
}

app::TProgressForm* FindProgressForm(QWidget& main) {
  return dynamic_cast<app::TProgressForm*>(main.findChild<QDialog*>("ProgressForm"));
}

}  // namespace

TEST(ProgressForm, ShowsFileNamesAndProgressCentredOverTheMainWindow) {
  auto main = MakeForm();
  main->show();
  int cancels = 0;
  auto progress = main->ShowProgressWindow("Annoncia", [&] { ++cancels; });
  ASSERT_NE(progress, nullptr);
  app::TProgressForm* dialog = FindProgressForm(*main);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->windowTitle(), "Annoncia");
  EXPECT_EQ(dialog->size(), QSize(300, 100));
  EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_LE((dialog->frameGeometry().center() - main->frameGeometry().center()).manhattanLength(), 2);

  EXPECT_EQ(dialog->Label->text(), "wait ...");
  EXPECT_EQ(dialog->Label->geometry().topLeft(), QPoint(10, 15));
  EXPECT_EQ(dialog->Label->width(), 280);
  EXPECT_TRUE(dialog->Label->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(dialog->ProgressBar->geometry().topLeft(), QPoint(10, 35));
  EXPECT_EQ(dialog->ProgressBar->width(), 280);
  EXPECT_EQ(dialog->CancelButton->text(), "&Cancel");
  EXPECT_EQ(dialog->CancelButton->y(), 60);
  EXPECT_EQ(dialog->CancelButton->x() * 2 + dialog->CancelButton->width(), 300 - 1);  // centred, odd spare pixel
  EXPECT_TRUE(dialog->CancelButton->isDefault());

  progress->SetLabel("SA123456.xml");
  progress->SetMaximum(65535);
  progress->SetPosition(30000);
  EXPECT_EQ(dialog->Label->text(), "SA123456.xml");
  EXPECT_EQ(dialog->ProgressBar->value(), 30000);
  progress->SetPosition(70000);  // an engine that reports more than announced
  EXPECT_EQ(dialog->ProgressBar->value(), 65535);
  progress->Hide();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(cancels, 0);

  progress.reset();
  EXPECT_EQ(FindProgressForm(*main), nullptr);
}

TEST(ProgressForm, CancelCallsBackAndHidesTheWindow) {
  auto main = MakeForm();
  main->show();
  // The button, Escape and the close box all cancel.
  const std::function<void(app::TProgressForm&)> ways[] = {
      [](app::TProgressForm& d) { QTest::mouseClick(d.CancelButton, Qt::LeftButton); },
      [](app::TProgressForm& d) { QTest::keyClick(&d, Qt::Key_Escape); },
      [](app::TProgressForm& d) { d.close(); },
  };
  for (const auto& cancel : ways) {
    int cancels = 0;
    auto progress = main->ShowProgressWindow("Annoncia", [&] { ++cancels; });
    app::TProgressForm* dialog = FindProgressForm(*main);
    ASSERT_NE(dialog, nullptr);
    cancel(*dialog);
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(dialog->isVisible());
  }
}

TEST(ProgressForm, CentredOnTheScreenBeforeTheMainWindowShowsAndSafeAfterIt) {
  auto main = MakeForm();
  auto progress = main->ShowProgressWindow("Annoncia", [] {});
  app::TProgressForm* dialog = FindProgressForm(*main);
  ASSERT_NE(dialog, nullptr);
  const QRect area = dialog->screen()->availableGeometry();
  EXPECT_LE((dialog->frameGeometry().center() - area.center()).manhattanLength(), 2);
  // The main window goes first; the handle must not touch the dead dialog.
  main.reset();
  progress->SetLabel("late");
  progress.reset();
}
