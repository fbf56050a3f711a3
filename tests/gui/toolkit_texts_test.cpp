// The toolkit's own texts in the real boxes and the real save dialog: Japanese,
// as the program installs them whatever the locale.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <functional>

#include "app/dialogs.h"
#include "app/toolkit_translation.h"
#include "support/named_case.h"
#include "support/temp_dir.h"

// Failures show the texts, not their UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << text.toStdString();
}

namespace valmeric::test {
namespace {

// Runs inspect on the modal dialog of type T once it is up, from inside its
// own event loop; inspect must close it.
template <typename T>
void WhenModal(std::function<void(T*)> inspect) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    inspect(dialog);
  });
  timer->start();
}

QStringList ButtonTexts(QMessageBox* box) {
  QStringList texts;
  for (QAbstractButton* button : box->buttons()) texts << button->text();
  texts.sort();
  return texts;
}

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

struct BoxCase {
  const char* name;
  unsigned style;
  QStringList buttons;  // sorted
  int press;            // index into buttons
  int answer;
};
VALMERIC_PRINT_CASE_BY_NAME(BoxCase)

class MessageBoxTextTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxTextTest, ButtonsSpeakJapanese) {
  const auto& c = GetParam();
  QStringList shown;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    shown = ButtonTexts(box);
    for (QAbstractButton* button : box->buttons()) {
      if (c.press < shown.size() && button->text() == shown[c.press]) button->click();
    }
    if (box->isVisible()) box->reject();
  });
  app::QtDialogs dialogs;
  const int answer = dialogs.MessageBox(nullptr, Utf8("本文"), Utf8("題名"), c.style);
  EXPECT_EQ(shown, c.buttons);
  EXPECT_EQ(answer, c.answer);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, MessageBoxTextTest,
    ::testing::Values(
        // "OK" stays "OK" in Japanese.
        BoxCase{"Notice", 0x40040, {QStringLiteral("OK")}, 0, app::kIdOk},
        BoxCase{"QuestionYes", 0x40024, {Utf8("いいえ(&N)"), Utf8("はい(&Y)")}, 1, app::kIdYes},
        BoxCase{"QuestionNo", 0x40124, {Utf8("いいえ(&N)"), Utf8("はい(&Y)")}, 0, app::kIdNo}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaveDialogTextTest, LabelsButtonsAndTheReplaceQuestionAreJapanese) {
  const TempDir dir;
  WriteFile(dir.File("old.csv"), "x");
  const QString folder = QString::fromStdString(dir.path().string());

  QString look_in, file_name, file_type, accept, cancel, opened_in, question;
  QStringList question_buttons;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    auto label = [dialog](const char* name) {
      auto* found = dialog->findChild<QLabel*>(QString::fromLatin1(name));
      return found != nullptr ? found->text() : QStringLiteral("(no %1)").arg(name);
    };
    look_in = label("lookInLabel");
    file_name = label("fileNameLabel");
    file_type = label("fileTypeLabel");
    QAbstractButton* save = nullptr;
    if (auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
      for (QAbstractButton* button : buttons->buttons()) {
        if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
          save = button;
          accept = button->text();
        } else {
          cancel = button->text();
        }
      }
    }
    opened_in = dialog->directory().absolutePath();
    // Typing the name of a file that exists and pressing save asks first.
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      question = box->text();
      question_buttons = ButtonTexts(box);
      box->button(QMessageBox::Yes)->click();
    });
    // The second file type, the workbook's, is the one the caller learns of.
    if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
      types->setCurrentIndex(1);
    }
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QStringLiteral("old.csv"));
    if (save != nullptr) save->click();
    if (dialog->isVisible()) dialog->reject();
  });

  app::QtDialogs dialogs;
  const auto chosen =
      dialogs.SaveFileName(nullptr, {Utf8("保存先"),
                                     {Utf8("CSVファイル (*.csv)"), Utf8("Excel ブック (*.xlsx)")},
                                     Utf8("病院施設一覧.csv"),
                                     folder});

  EXPECT_EQ(look_in, Utf8("アドレス:"));
  EXPECT_EQ(file_name, Utf8("ファイル名(&N):"));
  EXPECT_EQ(file_type, Utf8("ファイルの種類:"));
  EXPECT_EQ(accept, Utf8("保存(&S)"));
  EXPECT_EQ(cancel, Utf8("キャンセル"));
  EXPECT_EQ(opened_in, QDir(folder).absolutePath());
  EXPECT_EQ(question, Utf8("old.csv は既に存在します。\n置き換えますか?"));
  EXPECT_EQ(question_buttons, (QStringList{Utf8("いいえ(&N)"), Utf8("はい(&Y)")}));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(QDir::cleanPath(chosen->path), QDir(folder).filePath(QStringLiteral("old.csv")));
  EXPECT_EQ(chosen->filter, 1);
}

TEST(ToolkitTranslationTest, FoundBesideTheProgramOrInTheToolkitsFolderAndOptional) {
  const TempDir beside;
  const TempDir empty;
  const QString toolkit_folder = app::ToolkitTranslationFolders().constLast();
  ASSERT_TRUE(QFile::copy(QDir(toolkit_folder).filePath(QStringLiteral("qtbase_ja.qm")),
                          QString::fromStdString(beside.File("qtbase_ja.qm"))));
  const QString here = QString::fromStdString(beside.path().string());
  const QString nothing = QString::fromStdString(empty.path().string());
  struct Case {
    const char* name;
    QStringList folders;
    bool found;
  };
  const Case cases[] = {
      {"beside the program", {here, nothing}, true},
      {"the toolkit's folder after an empty one", {nothing, toolkit_folder}, true},
      {"nowhere: the program goes on in English", {nothing, QString()}, false},
      {"no folders at all", {}, false},
  };
  for (const auto& c : cases) {
    QTranslator translator;
    EXPECT_EQ(app::InstallToolkitTranslation(*QCoreApplication::instance(), translator, c.folders),
              c.found)
        << c.name;
    if (c.found) {
      EXPECT_EQ(translator.translate("QPlatformTheme", "&Yes"), Utf8("はい(&Y)")) << c.name;
    }
    QCoreApplication::removeTranslator(&translator);
  }
}

}  // namespace
}  // namespace valmeric::test
