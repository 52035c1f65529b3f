// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qtseams.h"

#include "app/messageboxcode.h"

#include <QApplication>
#include <QDate>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace zarvoni {

namespace {

QMessageBox::StandardButton standardButton(MessageBoxButton button) {
    switch (button) {
    case MessageBoxButton::Ok:
        return QMessageBox::Ok;
    case MessageBoxButton::Cancel:
        return QMessageBox::Cancel;
    case MessageBoxButton::Abort:
        return QMessageBox::Abort;
    case MessageBoxButton::Retry:
        return QMessageBox::Retry;
    case MessageBoxButton::Ignore:
        return QMessageBox::Ignore;
    case MessageBoxButton::Yes:
        return QMessageBox::Yes;
    case MessageBoxButton::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon standardIcon(MessageBoxIcon icon) {
    switch (icon) {
    case MessageBoxIcon::Critical:
        return QMessageBox::Critical;
    case MessageBoxIcon::Question:
        return QMessageBox::Question;
    case MessageBoxIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageBoxIcon::Information:
        return QMessageBox::Information;
    case MessageBoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString QtDialogs::inputBox(const QString &prompt, const QString &title) {
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue();
}

int QtDialogs::messageBox(const QString &prompt, int buttons, const QString &title) {
    const MessageBoxStyle style = decodeMessageBoxCode(buttons);
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? kProgramName : title);
    box.setTextFormat(Qt::PlainText); // a name is shown as typed, never as markup
    box.setText(prompt);
    box.setIcon(standardIcon(style.icon));
    std::vector<QPushButton *> shown;
    std::ranges::transform(style.buttons, std::back_inserter(shown), [&](MessageBoxButton button) {
        return box.addButton(standardButton(button));
    });
    box.setDefaultButton(shown[size_t(style.defaultButton)]);
    box.exec();
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (box.clickedButton() == shown[i])
            return static_cast<int>(style.buttons[i]);
    }
    // Closed without a button (Escape on a box without Cancel): the safe answer.
    return static_cast<int>(style.buttons.size() == 1 ? style.buttons.front()
                                                      : style.buttons.back());
}

QString QtTimeSource::shortDate() const {
    return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}

void QtProgramEnd::endProgram() {
    QCoreApplication::exit(0);
}

ThreadBackground::~ThreadBackground() {
    if (m_running.load() > 0) {
        std::fflush(nullptr);
        std::_Exit(0);
    }
}

void ThreadBackground::run(std::function<void()> work, QObject *context,
                           std::function<void()> done) {
    ++m_running;
    // A QThread, not a bare one: the record keeper's process needs an event
    // dispatcher in the thread that starts it.
    QThread *thread = QThread::create([this, work = std::move(work)] {
        work();
        --m_running;
    });
    // Queued to context's thread, and dropped with context if it goes first.
    QObject::connect(thread, &QThread::finished, context, std::move(done));
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

} // namespace zarvoni
