// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/resultline.h"

#include "records/recordlines.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <numeric>
#include <string_view>
#include <utility>
#include <vector>

namespace zarvoni::records {

namespace {

constexpr QByteArrayView kVersion = "Z1";
constexpr qsizetype kFields = 11;
constexpr qsizetype kTimeLength = 25; // 2026-12-09T10:15:03+01:00
// A computer's or an account's name: no system gives a longer one.
constexpr qsizetype kMaxShortText = 256;
constexpr int kMaxCount = 32767;
constexpr std::string_view kHex = "0123456789abcdef";

const QString kCut = QStringLiteral("la riga è tagliata o è stata cambiata (il controllo non "
                                    "torna)");
const QString kUnknownForm = QStringLiteral("non è una riga di risultati che il gioco conosca");
const QString kBadField = QStringLiteral("il campo %1 non è valido");

constexpr std::array<quint32, 256> crcTable() {
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// CRC-32 as zlib and most tools compute it.
quint32 crc32(QByteArrayView bytes) {
    static constexpr std::array<quint32, 256> kTable = crcTable();
    const quint32 c =
        std::accumulate(bytes.begin(), bytes.end(), 0xFFFFFFFFU, [](quint32 sum, char byte) {
            return kTable[(sum ^ quint8(byte)) & 0xFFU] ^ (sum >> 8);
        });
    return c ^ 0xFFFFFFFFU;
}

QByteArray crcText(QByteArrayView bytes) {
    return QByteArray::number(crc32(bytes), 16).rightJustified(8, '0');
}

bool mustEscape(quint8 byte) {
    return byte < 0x20 || byte == 0x7F || byte == '%';
}

QByteArray escaped(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = quint8(c);
        if (mustEscape(byte)) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<QString> unescaped(QByteArrayView field) {
    // Most texts hold nothing escaped.
    if (std::ranges::none_of(field, [](char c) { return mustEscape(quint8(c)); }))
        return QString::fromUtf8(field);
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto byte = quint8(field[i]);
        if (byte < 0x20 || byte == 0x7F)
            return std::nullopt;
        if (byte != '%') {
            out += char(byte);
            continue;
        }
        if (i + 2 >= field.size())
            return std::nullopt;
        const int high = hexValue(field[i + 1]);
        const int low = hexValue(field[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += char(high * 16 + low);
        i += 2;
    }
    return QString::fromUtf8(out);
}

std::optional<int> count(QByteArrayView field) {
    if (field.isEmpty() || field.size() > 5 || (field.size() > 1 && field[0] == '0'))
        return std::nullopt;
    int value = 0;
    for (const char digit : field) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        value = value * 10 + (digit - '0');
    }
    if (value > kMaxCount)
        return std::nullopt;
    return value;
}

QByteArray timeText(const QDateTime &when) {
    const int offset = when.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
           (offset < 0 ? '-' : '+') + QByteArray::number(minutes / 60).rightJustified(2, '0') +
           ':' + QByteArray::number(minutes % 60).rightJustified(2, '0');
}

// The time zone of a fixed offset from UTC, made once for each offset a thread
// meets: a list holds one or two, and making one is costly.
const QTimeZone &zoneAt(int offset) {
    thread_local std::vector<std::pair<int, QTimeZone>> zones;
    const auto found =
        std::ranges::find_if(zones, [offset](const auto &zone) { return zone.first == offset; });
    if (found != zones.end())
        return found->second;
    return zones.emplace_back(offset, QTimeZone(offset)).second;
}

// The number of count digits at field[at], or -1 when they are not all digits.
int digitsAt(QByteArrayView field, qsizetype at, qsizetype count) {
    int value = 0;
    for (const char digit : field.sliced(at, count)) {
        if (digit < '0' || digit > '9')
            return -1;
        value = value * 10 + (digit - '0');
    }
    return value;
}

std::optional<QDateTime> timeOf(QByteArrayView field) {
    if (field.size() != kTimeLength || field[4] != '-' || field[7] != '-' || field[10] != 'T' ||
        field[13] != ':' || field[16] != ':' || (field[19] != '+' && field[19] != '-') ||
        field[22] != ':')
        return std::nullopt;
    const QDate day(digitsAt(field, 0, 4), digitsAt(field, 5, 2), digitsAt(field, 8, 2));
    const QTime time(digitsAt(field, 11, 2), digitsAt(field, 14, 2), digitsAt(field, 17, 2));
    const int hours = digitsAt(field, 20, 2);
    const int minutes = digitsAt(field, 23, 2);
    if (!day.isValid() || !time.isValid() || hours < 0 || minutes < 0 || minutes > 59 ||
        hours * 60 + minutes > 18 * 60)
        return std::nullopt;
    const int offset = (hours * 60 + minutes) * 60;
    return QDateTime(day, time, zoneAt(field[19] == '-' ? -offset : offset));
}

} // namespace

QString resultName(const QString &name) {
    qsizetype keep = kMaxRecordFileBytes - 2;
    if (name.size() <= keep)
        return name;
    if (name.at(keep - 1).isHighSurrogate())
        --keep;
    return name.left(keep);
}

QByteArray endingToken(GameEnding ending) {
    switch (ending) {
    case GameEnding::TimeUp:
        return QByteArrayLiteral("tempo");
    case GameEnding::NewGame:
        return QByteArrayLiteral("nuova");
    case GameEnding::Exit:
        break;
    }
    return QByteArrayLiteral("uscita");
}

std::optional<GameEnding> endingOf(QByteArrayView token) {
    constexpr std::array kEndings{GameEnding::TimeUp, GameEnding::Exit, GameEnding::NewGame};
    const auto *const found = std::ranges::find_if(
        kEndings, [token](GameEnding ending) { return token == endingToken(ending); });
    return found == kEndings.end() ? std::nullopt : std::optional(*found);
}

QDateTime resultTime(const QDateTime &local) {
    QDateTime seconds = local;
    seconds.setTime(QTime(local.time().hour(), local.time().minute(), local.time().second()));
    return seconds.toOffsetFromUtc(local.offsetFromUtc());
}

QByteArray encodeResultLine(const ResultLine &line) {
    const GameEnd &game = line.game;
    QByteArray text = kVersion.toByteArray();
    for (const QByteArray &field :
         {timeText(line.when), escaped(line.computer.left(kMaxShortText)),
          escaped(resultName(game.name)), QByteArray::number(game.correct),
          QByteArray::number(game.wrong), QByteArray::number(game.total),
          QByteArray(game.record ? "1" : "0"), endingToken(game.ending),
          escaped(line.account.left(kMaxShortText))}) {
        text += '\t';
        text += field;
    }
    return text + '\t' + crcText(text) + '\n';
}

std::variant<ResultLine, QString> decodeResultLine(QByteArrayView bytes) {
    const qsizetype lastTab = bytes.lastIndexOf('\t');
    if (!bytes.startsWith(kVersion) || lastTab < 0)
        return kUnknownForm;
    if (bytes.sliced(lastTab + 1) != crcText(bytes.first(lastTab)))
        return kCut;
    std::array<QByteArrayView, kFields> fields;
    qsizetype found = 0;
    for (qsizetype start = 0; start <= bytes.size(); ++found) {
        const qsizetype tab = bytes.indexOf('\t', start);
        const qsizetype end = tab < 0 ? bytes.size() : tab;
        if (found == kFields)
            return kUnknownForm;
        fields[std::size_t(found)] = bytes.sliced(start, end - start);
        start = end + 1;
    }
    if (found != kFields || fields[0] != kVersion)
        return kUnknownForm;
    const auto bad = [](int field) { return kBadField.arg(field); };
    ResultLine line;
    const std::optional<QDateTime> when = timeOf(fields[1]);
    if (!when)
        return bad(2);
    line.when = *when;
    const std::optional<QString> computer = unescaped(fields[2]);
    const std::optional<QString> name = unescaped(fields[3]);
    const std::optional<QString> account = unescaped(fields[9]);
    if (!computer || !name || !account)
        return bad(!computer ? 3 : !name ? 4 : 10);
    line.computer = *computer;
    line.game.name = *name;
    line.account = *account;
    const std::optional<int> correct = count(fields[4]);
    const std::optional<int> wrong = count(fields[5]);
    const std::optional<int> total = count(fields[6]);
    if (!correct || !wrong || !total)
        return bad(!correct ? 5 : !wrong ? 6 : 7);
    line.game.correct = *correct;
    line.game.wrong = *wrong;
    line.game.total = *total;
    if (fields[7] != "0" && fields[7] != "1")
        return bad(8);
    line.game.record = fields[7] == "1";
    const std::optional<GameEnding> ending = endingOf(fields[8]);
    if (!ending)
        return bad(9);
    line.game.ending = *ending;
    return line;
}

} // namespace zarvoni::records
