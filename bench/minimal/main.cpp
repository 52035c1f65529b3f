// SPDX-License-Identifier: GPL-3.0-or-later
// Shows one name prompt, as the game's first dialog does, and nothing else: the
// reference for the game's start-up time and memory.

#include <QApplication>
#include <QInputDialog>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QInputDialog dialog;
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(QStringLiteral("Gioca con le zarvoni di I grado"));
    dialog.setLabelText(QStringLiteral("Come ti chiami?"));
    return dialog.exec() == QDialog::Accepted ? 0 : 1;
}
