// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/messageboxcode.h"
#include "app/qtseams.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace zarvoni {
namespace {

using B = MessageBoxButton;

struct CodeCase {
    int code;
    std::vector<B> buttons;
    MessageBoxIcon icon;
    int defaultButton;
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const CodeCase &c, std::ostream *os) {
    *os << "code " << c.code;
}

class MessageBoxCodes : public ::testing::TestWithParam<CodeCase> {};

TEST_P(MessageBoxCodes, DecodeIntoButtonsIconAndDefault) {
    const MessageBoxStyle style = decodeMessageBoxCode(GetParam().code);
    EXPECT_EQ(style.buttons, GetParam().buttons);
    EXPECT_EQ(style.icon, GetParam().icon);
    EXPECT_EQ(style.defaultButton, GetParam().defaultButton);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, MessageBoxCodes,
    ::testing::Values(CodeCase{0, {B::Ok}, MessageBoxIcon::None, 0},
                      CodeCase{48, {B::Ok}, MessageBoxIcon::Exclamation, 0},
                      CodeCase{292, {B::Yes, B::No}, MessageBoxIcon::Question, 1},
                      CodeCase{16, {B::Ok}, MessageBoxIcon::Critical, 0},
                      CodeCase{64, {B::Ok}, MessageBoxIcon::Information, 0},
                      CodeCase{1, {B::Ok, B::Cancel}, MessageBoxIcon::None, 0},
                      CodeCase{3 + 512, {B::Yes, B::No, B::Cancel}, MessageBoxIcon::None, 2},
                      CodeCase{256, {B::Ok}, MessageBoxIcon::None, 0}));

// The real message box, answered by a timer so the test never waits on a person.
TEST(QtMessageBox, SpeaksItalianAndReturnsTheButtonPressed) {
    QStringList buttons;
    QString defaultText;
    QString title;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text().remove(u'&');
        defaultText = box->defaultButton()->text().remove(u'&');
        box->button(QMessageBox::No)->click();
    });
    QtDialogs dialogs;
    const int answer = dialogs.messageBox("INIZIAMO UNA NUOVA GARA  ?", 292, "INIZIARE NUOVA GARA");
    EXPECT_EQ(answer, 7);
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"No", "Sì"}));
    EXPECT_EQ(defaultText, "No");
    EXPECT_EQ(title, "INIZIARE NUOVA GARA");
}

TEST(QtMessageBox, ABoxWithoutTitleCarriesTheProgramsName) {
    QString title;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
    });
    QtDialogs dialogs;
    EXPECT_EQ(dialogs.messageBox("Ok", 0, QString()), 1);
    EXPECT_EQ(title, "Zarvoni");
}

} // namespace
} // namespace zarvoni
