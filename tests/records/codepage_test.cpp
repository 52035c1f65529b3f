// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/codepage.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#ifdef Q_OS_WIN
#include <array>

#include <windows.h>
#endif

namespace zarvoni::records {
namespace {

// The system's own decoder is the reference for each of the 256 bytes: ICU's on
// Linux, and on Windows, whose Qt is built without ICU, Windows' own code page.
QString systemWindows1252(const QByteArray &bytes) {
#ifdef Q_OS_WIN
    std::array<wchar_t, 8> wide{};
    const int length = MultiByteToWideChar(1252, 0, bytes.constData(), int(bytes.size()),
                                           wide.data(), int(wide.size()));
    return QString::fromWCharArray(wide.data(), length);
#else
    QStringDecoder reference("windows-1252");
    return reference.isValid() ? reference.decode(bytes) : QStringLiteral("(no ICU decoder)");
#endif
}

TEST(Windows1252, EveryByteIsTheSystemsCharacterAndRoundTrips) {
    for (int value = 0; value < 256; ++value) {
        const QByteArray byte(1, static_cast<char>(value));
        const QString text = fromWindows1252(byte);
        ASSERT_EQ(text.size(), 1) << "byte " << value;
        EXPECT_EQ(text, systemWindows1252(byte)) << "byte " << value;
        EXPECT_EQ(toWindows1252(text), byte) << "byte " << value;
    }
}

TEST(Windows1252, HighControlBytesAreTheirTypographicCharacters) {
    EXPECT_EQ(fromWindows1252("\x80"), QStringLiteral("€"));
    EXPECT_EQ(fromWindows1252("\x93\x94"), QStringLiteral("“”"));
    EXPECT_EQ(fromWindows1252("\x9F"), QStringLiteral("Ÿ"));
    EXPECT_EQ(fromWindows1252("\xF2"), QStringLiteral("ò"));
    EXPECT_EQ(fromWindows1252("\x81").front().unicode(), 0x81);
}

TEST(Windows1252, WritesOneByteACharacterAndAQuestionMarkForTheRest) {
    EXPECT_EQ(toWindows1252(u"Niccolò"), QByteArray("Niccol\xF2"));
    EXPECT_EQ(toWindows1252(u"€ 5"), QByteArray("\x80 5"));
    EXPECT_EQ(toWindows1252(u"Łukasz"), QByteArray("?ukasz"));
    EXPECT_EQ(toWindows1252(u"a😀b"), QByteArray("a?b")) << "one ? for a surrogate pair";
    EXPECT_EQ(toWindows1252(u"日本"), QByteArray("??"));
}

} // namespace
} // namespace zarvoni::records
