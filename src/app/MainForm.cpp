#include "app/MainForm.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include "app/ProgressForm.h"
#include "shell/Settings.h"

namespace app {
namespace {

class TAnnonciaStyle : public QProxyStyle {
public:
  TAnnonciaStyle() : QProxyStyle(QStyleFactory::create("windows")) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

QString Q(const std::string& text) { return QString::fromStdString(text); }

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int left, int top) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const std::string& text, int top, bool password = false) {
  auto* edit = new QLineEdit(Q(text), parent);
  edit->setObjectName(name);
  edit->setGeometry(8, top, 225, 21);
  if (password) edit->setEchoMode(QLineEdit::Password);
  return edit;
}

QGroupBox* MakeGroupBox(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height) {
  auto* box = new QGroupBox(QString::fromUtf8(caption), parent);
  box->setObjectName(name);
  box->setGeometry(left, top, width, height);
  return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  button->setGeometry(left, top, width, height);
  return button;
}

// The memo shows a line holding line breaks as several lines, whatever
// convention the breaks follow.
QString MemoText(const std::string& line) {
  QString text = Q(line);
  text.replace("\r\n", "\n");
  text.replace('\r', '\n');
  return text;
}

// A modal box; its text is shown as it is, never as markup.
int ShowBox(QWidget* parent, QMessageBox::Icon icon, const std::string& caption, const std::string& text,
            QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, Q(caption), Q(text), buttons, parent);
  box.setTextFormat(Qt::PlainText);
  return box.exec();
}

}  // namespace

void SetUpApplicationLook() {
  QApplication::setStyle(new TAnnonciaStyle);
  // The narrow face keeps the captions inside the controls sized for the
  // Windows dialog font.
  QFont::insertSubstitution("MS Sans Serif", "DejaVu Sans Condensed");
  QApplication::setFont(QFont("MS Sans Serif", 8));
}

TForm1::TForm1(shell::TPortalTable portals, std::string executablePath, const std::vector<std::string>& arguments)
    : QWidget(nullptr), run_(*this, std::move(portals), std::move(executablePath)) {
  namespace defaults = shell::defaults;
  setObjectName("Form1");
  setWindowTitle("Form1");
  setFont(QFont("MS Sans Serif", 8));
  setGeometry(198, 107, 515, 512);

  GroupBox1 = MakeGroupBox(this, "GroupBox1", "Connexion Serveur Clicheo : ", 8, 0, 241, 201);
  Label3 = MakeLabel(GroupBox1, "Label3", "Serveur FTP :", 8, 24);
  Label4 = MakeLabel(GroupBox1, "Label4", "Utilisateur :", 8, 64);
  Label5 = MakeLabel(GroupBox1, "Label5", "Mot de passe : ", 8, 104);
  Label6 = MakeLabel(GroupBox1, "Label6", "Répertoire : ", 8, 150);
  paramServeurClicheo = MakeEdit(GroupBox1, "paramServeurClicheo", "localhost", 40);
  paramUserClicheo = MakeEdit(GroupBox1, "paramUserClicheo", defaults::ClicheoUser, 80);
  paramPasswordClicheo = MakeEdit(GroupBox1, "paramPasswordClicheo", defaults::ClicheoPassWord, 120, true);
  paramRepertClicheo = MakeEdit(GroupBox1, "paramRepertClicheo", "www/clicheo", 164);

  BoxServer = MakeGroupBox(this, "BoxServer", "Connexion Serveur xxx : ", 256, 0, 241, 201);
  lbServer = MakeLabel(BoxServer, "lbServer", "Serveur FTP :", 8, 24);
  LbUser = MakeLabel(BoxServer, "LbUser", "Utilisateur :", 8, 64);
  LbPassword = MakeLabel(BoxServer, "LbPassword", "Mot de passe : ", 8, 104);
  Label7 = MakeLabel(BoxServer, "Label7", "Répertoire :", 8, 152);
  paramServeur = MakeEdit(BoxServer, "paramServeur", defaults::ServeurFTP, 40);
  // Until a run fills them, the portal fields show the first portal's account.
  const std::vector<shell::TPortal>& portalList = run_.Portals().All();
  const shell::TPortal* first = portalList.empty() ? nullptr : &portalList.front();
  paramUser = MakeEdit(BoxServer, "paramUser", first ? first->DefaultUser : "", 80);
  paramPassword = MakeEdit(BoxServer, "paramPassword", first ? first->DefaultPassWord : "", 120, true);
  paramRepert = MakeEdit(BoxServer, "paramRepert", "", 168);

  CBExport = new QComboBox(this);
  CBExport->setObjectName("CBExport");
  CBExport->setEditable(true);
  CBExport->setInsertPolicy(QComboBox::NoInsert);
  for (const shell::TPortal& portal : portalList) CBExport->addItem(Q(portal.DisplayName));
  CBExport->setCurrentIndex(-1);
  CBExport->setEditText("");
  CBExport->setGeometry(320, 208, 177, 21);

  Label1Control = MakeLabel(this, "Label1", "Label1", 16, 232);
  Label2Control = MakeLabel(this, "Label2", "Label2", 16, 264);
  Button2 = MakeButton(this, "Button2", "Version", 256, 240, 57, 49);
  Button1 = MakeButton(this, "Button1", "Démarrer", 320, 240, 177, 49);

  BoxMemo = MakeGroupBox(this, "BoxMemo", "Etat : ", 8, 296, 489, 177);
  Memo = new QPlainTextEdit(BoxMemo);
  Memo->setObjectName("Memo");
  Memo->setReadOnly(true);
  Memo->setGeometry(8, 16, 473, 153);

  fields_ = {paramServeur,        paramUser,        paramPassword,        paramRepert,
             paramServeurClicheo, paramUserClicheo, paramPasswordClicheo, paramRepertClicheo};

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Timer1->start();

  run_.FormCreate(arguments);
}

TForm1::~TForm1() = default;

void TForm1::Button1Click() {
  // Message processing inside a run can deliver a second click.
  if (inButton1Click_) return;
  inButton1Click_ = true;
  struct TReset {
    bool& Flag;
    ~TReset() { Flag = false; }
  } reset{inButton1Click_};
  run_.Button1Click(CBExport->currentText().toStdString());
}

void TForm1::Button2Click() { run_.Button2Click(); }

void TForm1::Timer1Timer() { run_.Timer1Timer(); }

std::vector<std::string> TForm1::MemoLines() const {
  std::vector<std::string> lines;
  const QTextDocument* document = Memo->document();
  for (QTextBlock block = document->begin(); block.isValid() && lines.size() < memoLineCount_;
       block = block.next()) {
    lines.push_back(block.text().toStdString());
  }
  return lines;
}

QLineEdit* TForm1::Field(shell::TConnectionField field) const { return fields_[static_cast<std::size_t>(field)]; }

std::string TForm1::FieldText(shell::TConnectionField field) const { return Field(field)->text().toStdString(); }

void TForm1::SetFieldText(shell::TConnectionField field, const std::string& text) { Field(field)->setText(Q(text)); }

std::string TForm1::Label1() const { return Label1Control->text().toStdString(); }

void TForm1::SetLabel1(const std::string& text) {
  Label1Control->setText(Q(text));
  Label1Control->adjustSize();
}

std::string TForm1::Label2() const { return Label2Control->text().toStdString(); }

void TForm1::SetLabel2(const std::string& text) {
  Label2Control->setText(Q(text));
  Label2Control->adjustSize();
}

void TForm1::AddMemoLine(const std::string& line) {
  const QString text = MemoText(line);
  QTextCursor cursor(Memo->document());
  cursor.movePosition(QTextCursor::End);
  if (memoLineCount_ > 0) cursor.insertBlock();
  cursor.insertText(text);
  memoLineCount_ += static_cast<std::size_t>(text.count('\n')) + 1;
  Memo->moveCursor(QTextCursor::End);
  Memo->ensureCursorVisible();
}

void TForm1::ClearMemo() {
  Memo->clear();
  memoLineCount_ = 0;
}

void TForm1::SetCaption(const std::string& caption) { setWindowTitle(Q(caption)); }

void TForm1::SetBoxServerCaption(const std::string& caption) { BoxServer->setTitle(Q(caption)); }

void TForm1::SetStartControlsVisible(bool visible) {
  Button1->setVisible(visible);
  CBExport->setVisible(visible);
}

void TForm1::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TForm1::PostClose() {
  QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void TForm1::ShowError(const std::string& message) {
  ShowBox(this, QMessageBox::Critical, shell::kApplicationTitle, message, QMessageBox::Ok);
}

void TForm1::ShowInformation(const std::string& caption, const std::string& text) {
  ShowBox(this, QMessageBox::Information, caption, text, QMessageBox::Ok);
}

bool TForm1::AskOkCancel(const std::string& caption, const std::string& text) {
  return ShowBox(this, QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

std::unique_ptr<shell::IProgressWindow> TForm1::ShowProgressWindow(const std::string& caption,
                                                                   std::function<void()> onCancel) {
  return ShowProgressForm(this, caption, std::move(onCancel));
}

}  // namespace app
