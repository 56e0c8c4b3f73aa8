#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "app/MainForm.h"
#include "platform/Ansi.h"
#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "support/Installation.h"
#include "support/TestSupport.h"

using shell::TRunControl;
using testsupport::TTempDir;
using Lines = std::vector<std::string>;

namespace {

void Tick(app::TForm1& form, int times) {
  for (int k = 0; k < times; ++k) form.Timer1Timer();
  QCoreApplication::processEvents();
}

// Answers every modal box shortly after it opens by clicking Answer (or the
// only button), as an operator would, and keeps what it showed.
struct TBoxCloser {
  struct TBox {
    QMessageBox::Icon Icon;
    std::string Title;
    std::string Text;
    Qt::TextFormat Format;
  };
  std::vector<TBox> Boxes;
  QMessageBox::StandardButton Answer = QMessageBox::Ok;
  QTimer Timer;
  TBoxCloser() {
    Timer.setInterval(20);
    QObject::connect(&Timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        Boxes.push_back({box->icon(), box->windowTitle().toStdString(), box->text().toStdString(), box->textFormat()});
        QAbstractButton* button = box->button(Answer);
        ASSERT_NE(button, nullptr);
        button->click();
      }
    });
    Timer.start();
  }
};

struct FormFixture : ::testing::Test {
  TTempDir windir;
  TTempDir exeDir;
  std::vector<std::string> calls;
  app::TForm1* form = nullptr;  // the form being made, for builders that use it
  std::function<void(TRunControl&)> paruVendu = [this](TRunControl& run) {
    calls.push_back("PARUVENDU visible=" + std::to_string(form != nullptr && form->isVisible()));
    run.LoadConnectionFields();
    run.Window.SetLabel1("Connexion au serveur");
    shell::LogLine(run, "Export terminé");
  };

  void SetUp() override {
    qputenv("WINDIR", windir.Path().c_str());
    testsupport::MakeDirs(windir / "TEMP");
    testsupport::WriteSettingsFile(exeDir / "Annoncia.ini",
                           "[Clicheo]\nServeurFTP=photos.test\n"
                           "[PARUVENDU]\nServeurFTP=10.0.0.9\nUser=pv\nPassWord=s3cret\nPathFTP=in\n");
  }

  std::unique_ptr<app::TForm1> Make(const Lines& arguments, const std::string& exe = "") {
    // The window lists the portals of the table it is given, in its order.
    const shell::TFeedBuilder nothing = [](TRunControl&) {};
    shell::TPortalTable table;
    table.Register({"PARUVENDU", "ParuVendu", "pv@ftp.example", "Pv20Ann0nc", [this](TRunControl& run) { paruVendu(run); }});
    table.Register({"AUTOSCOUT24", "AutoScout24", "", "", nothing});
    table.Register({"SITAUTOPRO", "SitAutoPro", "", "", [this](TRunControl&) {
                      calls.push_back("SITAUTOPRO");
                      throw std::runtime_error("Fichier <ExpDatasSitAutoPro.xml>\r\nintrouvable");
                    }});
    for (const char* name : {"TopAnnonces", "LeBonCoin", "InfoPress"}) {
      table.Register({platform::UpperCaseAZ(name), name, "", "", nothing});
    }
    auto made = std::make_unique<app::TForm1>(std::move(table), exe.empty() ? exeDir / "annoncia-gui" : exe,
                                              arguments);
    form = made.get();
    // The tests drive the ticks themselves.
    form->Timer1->stop();
    return made;
  }
};

}  // namespace

TEST_F(FormFixture, InitialLayoutWithTheUsageLine) {
  for (const Lines& arguments : {Lines{}, Lines{"ParuVendu", "SitAutoPro"}}) {
    auto f = Make(arguments);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(f->geometry(), QRect(198, 107, 515, 512));
    EXPECT_EQ(f->windowTitle(), "Form1");
    EXPECT_EQ(f->MemoLines(), Lines{"Syntax : Annoncia \"option\""});

    struct TPlace {
      const char* Name;
      QRect Geometry;  // an empty size: a label that sizes itself
      const char* Text;
    };
    const TPlace places[] = {
        {"GroupBox1", {8, 0, 241, 201}, "Connexion Serveur Clicheo : "},
        {"Label3", {8, 24, 0, 0}, "Serveur FTP :"},
        {"Label4", {8, 64, 0, 0}, "Utilisateur :"},
        {"Label5", {8, 104, 0, 0}, "Mot de passe : "},
        {"Label6", {8, 150, 0, 0}, "Répertoire : "},
        {"paramServeurClicheo", {8, 40, 225, 21}, "localhost"},
        {"paramUserClicheo", {8, 80, 225, 21}, nullptr},
        {"paramPasswordClicheo", {8, 120, 225, 21}, "********"},
        {"paramRepertClicheo", {8, 164, 225, 21}, "www/clicheo"},
        {"BoxServer", {256, 0, 241, 201}, "Connexion Serveur xxx : "},
        {"lbServer", {8, 24, 0, 0}, "Serveur FTP :"},
        {"LbUser", {8, 64, 0, 0}, "Utilisateur :"},
        {"LbPassword", {8, 104, 0, 0}, "Mot de passe : "},
        {"Label7", {8, 152, 0, 0}, "Répertoire :"},
        {"paramServeur", {8, 40, 225, 21}, "127.0.0.1"},
        {"paramUser", {8, 80, 225, 21}, nullptr},
        {"paramPassword", {8, 120, 225, 21}, "**********"},
        {"paramRepert", {8, 168, 225, 21}, ""},
        {"CBExport", {320, 208, 177, 21}, ""},
        {"Label1", {16, 232, 0, 0}, "Label1"},
        {"Label2", {16, 264, 0, 0}, "Label2"},
        {"Button2", {256, 240, 57, 49}, "Version"},
        {"Button1", {320, 240, 177, 49}, "Démarrer"},
        {"BoxMemo", {8, 296, 489, 177}, "Etat : "},
        {"Memo", {8, 16, 473, 153}, nullptr},
    };
    for (const TPlace& p : places) {
      SCOPED_TRACE(p.Name);
      auto* w = f->findChild<QWidget*>(p.Name);
      ASSERT_NE(w, nullptr);
      EXPECT_FALSE(w->isHidden());
      if (p.Geometry.isEmpty()) {
        EXPECT_EQ(w->pos(), p.Geometry.topLeft());
        EXPECT_GE(w->width(), w->sizeHint().width());  // the whole caption shows
      } else {
        EXPECT_EQ(w->geometry(), p.Geometry);
      }
      if (!p.Text) continue;
      QString shown;
      if (auto* box = qobject_cast<QGroupBox*>(w)) shown = box->title();
      if (auto* label = qobject_cast<QLabel*>(w)) shown = label->text();
      if (auto* edit = qobject_cast<QLineEdit*>(w)) shown = edit->displayText();
      if (auto* button = qobject_cast<QPushButton*>(w)) shown = button->text();
      if (auto* combo = qobject_cast<QComboBox*>(w)) shown = combo->currentText();
      EXPECT_EQ(shown.toStdString(), p.Text);
    }
    EXPECT_EQ(f->paramPasswordClicheo->text().size(), 8);
    EXPECT_TRUE(f->Memo->isReadOnly());
    EXPECT_TRUE(f->CBExport->isEditable());
    QStringList items;
    for (int k = 0; k < f->CBExport->count(); ++k) items << f->CBExport->itemText(k);
    EXPECT_EQ(items, QStringList({"ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces", "LeBonCoin", "InfoPress"}));
    EXPECT_EQ(f->Timer1->interval(), 1000);
    const QFontInfo font(f->Memo->font());
    EXPECT_EQ(font.family(), "DejaVu Sans Condensed");
    EXPECT_EQ(font.pointSize(), 8);
  }
}

TEST_F(FormFixture, UnattendedRunShowsItsLinesAndClosesOnTheThirtiethTick) {
  auto f = Make({"paruvendu"});
  EXPECT_EQ(calls, Lines{"PARUVENDU visible=0"});  // the run happens before the window shows
  f->show();
  EXPECT_EQ(f->windowTitle(), "Export des données pour PARUVENDU");
  EXPECT_EQ(f->BoxServer->title(), "Connexion FTP pour PARUVENDU : ");
  EXPECT_TRUE(f->Button1->isHidden());
  EXPECT_TRUE(f->CBExport->isHidden());
  EXPECT_EQ(f->paramServeur->text(), "10.0.0.9");
  EXPECT_EQ(f->paramPassword->displayText(), "******");
  EXPECT_EQ(f->paramRepert->text(), "in");
  EXPECT_EQ(f->paramServeurClicheo->text(), "photos.test");
  EXPECT_EQ(f->Label1(), "Connexion au serveur");
  const Lines memo = f->MemoLines();
  ASSERT_EQ(memo.size(), 2u);
  EXPECT_EQ(memo[0], "-> ");
  EXPECT_TRUE(QRegularExpression(R"(^-> \d\d/\d\d/\d{4} \d\d:\d\d:\d\d - Export terminé$)")
                  .match(QString::fromStdString(memo[1]))
                  .hasMatch())
      << memo[1];

  Tick(*f, 29);
  EXPECT_TRUE(f->isVisible());
  Tick(*f, 1);
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(f->Run().ExitStatus(), shell::esSent);
}

TEST_F(FormFixture, TimerTicksWhileTheRunProcessesMessages) {
  int ticksSeen = -1;
  paruVendu = [&](TRunControl& run) {
    // The form being made is the run's window; its timer is counted from here.
    QTimer* timer = dynamic_cast<app::TForm1&>(run.Window).Timer1;
    int ticks = 0;
    QObject::connect(timer, &QTimer::timeout, [&ticks] { ++ticks; });
    QElapsedTimer clock;
    clock.start();
    while (ticks == 0 && clock.elapsed() < 5000) run.Window.ProcessMessages();
    ticksSeen = ticks;
  };
  auto f = Make({"ParuVendu"});
  EXPECT_GE(ticksSeen, 1);
}

TEST_F(FormFixture, StartButtonRunsTheComboOptionOnce) {
  paruVendu = [&](TRunControl&) {
    calls.push_back("PARUVENDU");
    form->Button1Click();  // a click delivered while the run processes messages
  };
  auto f = Make({});
  f->show();
  QTest::mouseClick(f->Button1, Qt::LeftButton);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(f->windowTitle(), "Form1");
  EXPECT_FALSE(f->Button1->isHidden());
  EXPECT_EQ(f->MemoLines(), Lines{"Syntax : Annoncia \"option\""});

  f->CBExport->setEditText("paruVENDU");
  QTest::mouseClick(f->Button1, Qt::LeftButton);
  EXPECT_EQ(calls, Lines{"PARUVENDU"});
  EXPECT_EQ(f->windowTitle(), "Export des données pour PARUVENDU");
  EXPECT_TRUE(f->Button1->isHidden());
  EXPECT_TRUE(f->CBExport->isHidden());
}

TEST_F(FormFixture, UnknownOptionKeepsTheStartControlsAndNeverCloses) {
  auto f = Make({"Foo"});
  f->show();
  EXPECT_EQ(f->windowTitle(), "Export des données pour FOO");
  EXPECT_EQ(f->BoxServer->title(), "Connexion FTP pour FOO : ");
  EXPECT_TRUE(f->Button1->isVisible());
  EXPECT_TRUE(f->CBExport->isVisible());
  EXPECT_TRUE(f->MemoLines().empty());
  Tick(*f, 40);
  EXPECT_TRUE(f->isVisible());
  EXPECT_FALSE(testsupport::PathExists(windir / "TEMP/ZuroviRazeviFOO.log"));

  // Another attempt from the combo box is still possible.
  f->CBExport->setEditText("ParuVendu");
  QTest::mouseClick(f->Button1, Qt::LeftButton);
  EXPECT_EQ(calls, Lines{"PARUVENDU visible=1"});
}

TEST_F(FormFixture, VersionListsTheVersionBlockOfTheExecutable) {
  const Lines block = {"FileDescription : ", "CompanyName : ",      "FileVersion : 1.1.0.0", "InternalName : ",
                       "LegalCopyRight : ",  "OriginalFileName : ", "ProductName : ",        "ProductVersion : 1.0.0.0"};
  const struct {
    std::string Executable;
    Lines Memo;
  } cases[] = {
      {ANNONCIA_GUI_PATH, block},
      {platform::ExecutablePath(), {}},  // this test program carries no version block
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Executable);
    auto f = Make({}, c.Executable);
    f->show();
    f->AddMemoLine("avant");
    QTest::mouseClick(f->Button2, Qt::LeftButton);
    EXPECT_EQ(f->MemoLines(), c.Memo);
  }
}

TEST_F(FormFixture, ErrorOfARunShowsTheErrorBoxAndTheWindowStaysOpen) {
  TBoxCloser closer;
  auto f = Make({"SitAutoPro"});
  ASSERT_EQ(closer.Boxes.size(), 1u);
  EXPECT_EQ(closer.Boxes[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(closer.Boxes[0].Title, "Annoncia");
  EXPECT_EQ(closer.Boxes[0].Text, "Fichier <ExpDatasSitAutoPro.xml>\r\nintrouvable");
  EXPECT_EQ(closer.Boxes[0].Format, Qt::PlainText);  // the file name is not taken for markup
  f->show();
  EXPECT_EQ(f->windowTitle(), "Export des données pour SITAUTOPRO");
  Tick(*f, 40);
  EXPECT_TRUE(f->isVisible());
  EXPECT_EQ(f->Run().ExitStatus(), shell::esError);

  // The same box over the window in an interactive run.
  auto g = Make({});
  g->show();
  g->CBExport->setEditText("SitAutoPro");
  QTest::mouseClick(g->Button1, Qt::LeftButton);
  ASSERT_EQ(closer.Boxes.size(), 2u);
  EXPECT_EQ(closer.Boxes[1].Icon, QMessageBox::Critical);
  EXPECT_TRUE(g->isVisible());
  EXPECT_FALSE(g->Run().RunFinished());
}

TEST_F(FormFixture, PackagerBoxesShowTheirTextAndReportTheAnswer) {
  TBoxCloser closer;
  auto f = Make({});
  f->show();
  f->ShowInformation("Annoncia", "No files have been selected.");
  closer.Answer = QMessageBox::Cancel;
  EXPECT_FALSE(f->AskOkCancel("Annoncia", "Insert [ Disk 2 ] of the Zip file into the floppy drive\nbefore pressing [ OK ] to continue ..."));
  closer.Answer = QMessageBox::Ok;
  EXPECT_TRUE(f->AskOkCancel("Annoncia", "?"));
  ASSERT_EQ(closer.Boxes.size(), 3u);
  EXPECT_EQ(closer.Boxes[0].Icon, QMessageBox::Information);
  EXPECT_EQ(closer.Boxes[0].Title, "Annoncia");
  EXPECT_EQ(closer.Boxes[0].Text, "No files have been selected.");
  EXPECT_EQ(closer.Boxes[1].Text, "Insert [ Disk 2 ] of the Zip file into the floppy drive\nbefore pressing [ OK ] to continue ...");
}

TEST_F(FormFixture, FtpStatusGoesToTheMemoAndProgressToLabel2) {
  auto f = Make({});
  f->ClearMemo();
  f->AddMemoLine("");
  f->Run().IdFTP1Status("Connected.");
  f->Run().IdFTP2Status("Transfer complete");
  f->AddMemoLine("Transfert FTP KO : \r\nConnection refused");
  EXPECT_EQ(f->MemoLines(), (Lines{"", "Connected.", "Transfer complete", "Transfert FTP KO : ", "Connection refused"}));

  f->Run().IdFTP2Work(50);  // nothing expected yet
  EXPECT_EQ(f->Label2(), "Label2");
  f->Run().IdFTP2WorkBegin(200);
  const struct {
    std::int64_t Done;
    const char* Label2;
  } steps[] = {
      {1, "Label2"},  // 0.5 % rounds to 0, the percentage already shown
      {3, "Transfert en cours : 2%"},
      {5, "Transfert en cours : 2%"},  // 2.5 rounds to even
      {200, "Transfert en cours : 100%"},
  };
  for (const auto& s : steps) {
    f->Run().IdFTP2Work(s.Done);
    EXPECT_EQ(f->Label2(), s.Label2) << s.Done;
    EXPECT_GE(f->Label2Control->width(), f->Label2Control->sizeHint().width());
  }
}

// The program itself: ANNONCIA_GUI_SCREENSHOT saves the shown window and
// closes it, which ends the program with the status of its run.
TEST(GuiProgram, SavesItsWindowAndExitsWithTheRunStatus) {
  for (const Lines& arguments : {Lines{}, Lines{"Foo"}}) {
    testsupport::TInstallation inst(ANNONCIA_GUI_PATH);
    inst.WriteIni("");
    const std::string png = inst.Root() + "/window.png";
    const auto r = inst.Run(arguments, {{"QT_QPA_PLATFORM", "offscreen"}, {"ANNONCIA_GUI_SCREENSHOT", png}}, 60);
    EXPECT_EQ(r.ExitStatus, shell::esNoRun) << r.Err;
    const QImage image(QString::fromStdString(png));
    EXPECT_GE(image.width(), 515);
    EXPECT_GE(image.height(), 512);
  }
}
