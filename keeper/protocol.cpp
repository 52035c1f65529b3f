// SPDX-License-Identifier: GPL-3.0-or-later
#include "keeper/protocol.h"

#include "records/resultline.h"

#include <QList>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <limits>
#include <utility>

namespace zarvoni::keeper {

namespace {

using ReadOutcome = records::ReadResult::Outcome;
using StoreOutcome = records::StoreResult::Outcome;

const QString kRefused = QStringLiteral(
    "Richiesta rifiutata: %1.\nUso: zarvoni-keeper read, oppure zarvoni-keeper store PUNTI "
    "LUNGHEZZA con il nome, LUNGHEZZA byte in UTF-8, sullo standard input; zarvoni-keeper "
    "result ESATTE ERRATE TOTALI RECORD FINE LUNGHEZZA con il nome allo stesso modo; "
    "zarvoni-keeper results [DAL AL]; zarvoni-keeper clear-results.");
constexpr qint64 kMaxScore = 32767;
// The answer to results holds whole lists: no bound but the reader's memory.
constexpr qsizetype kUnbounded = std::numeric_limits<qsizetype>::max();

// Decimal digits with no sign, blank or leading zero, at most maxDigits of them.
std::optional<qint64> plainNumber(QByteArrayView text, qsizetype maxDigits) {
    if (text.isEmpty() || text.size() > maxDigits || (text.size() > 1 && text.front() == '0'))
        return std::nullopt;
    qint64 value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        value = value * 10 + (digit - '0');
    }
    return value;
}

QString refused(const QString &why) {
    return kRefused.arg(why);
}

// The length of a name to come on standard input, or the refusal.
std::variant<qsizetype, QString> nameLength(QByteArrayView text) {
    const std::optional<qint64> length = plainNumber(text, 7);
    if (!length)
        return refused(QStringLiteral("la lunghezza del nome è un numero intero di byte"));
    if (*length > kMaxNameBytes)
        return refused(QStringLiteral("un nome di %1 byte non sta in un file dei record, che "
                                      "ne tiene al più %2")
                           .arg(*length)
                           .arg(kMaxNameBytes));
    return qsizetype(*length);
}

std::variant<Request, QString> resultRequest(std::span<const char *const> arguments) {
    if (arguments.size() != 7)
        return refused(QStringLiteral("result vuole sei argomenti: esatte, errate, totali, "
                                      "record, fine e la lunghezza del nome"));
    Request request{Request::Kind::Result, {}, 0, {}, {}, {}};
    records::GameEnd &game = request.game;
    const std::optional<qint64> correct = plainNumber(arguments[1], 5);
    const std::optional<qint64> wrong = plainNumber(arguments[2], 5);
    const std::optional<qint64> total = plainNumber(arguments[3], 5);
    if (!correct || !wrong || !total || *correct > kMaxScore || *wrong > kMaxScore ||
        *total != std::min(*correct + *wrong, kMaxScore))
        return refused(QStringLiteral("esatte ed errate sono numeri interi da 0 a %1, e totali "
                                      "la loro somma, fino a %1")
                           .arg(kMaxScore));
    game.correct = int(*correct);
    game.wrong = int(*wrong);
    game.total = int(*total);
    const QByteArrayView record(arguments[4]);
    if (record != "0" && record != "1")
        return refused(QStringLiteral("record è 1 oppure 0"));
    game.record = record == "1";
    const std::optional<records::GameEnding> ending = records::endingOf(arguments[5]);
    if (!ending)
        return refused(QStringLiteral("fine è tempo, uscita oppure nuova"));
    game.ending = *ending;
    const std::variant<qsizetype, QString> length = nameLength(arguments[6]);
    if (const QString *why = std::get_if<QString>(&length))
        return *why;
    request.nameBytes = std::get<qsizetype>(length);
    return request;
}

// A day written as 2026-09-01, and no other way.
QDate dayOf(QByteArrayView text) {
    const QDate day = QDate::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd"));
    return day.isValid() && day.toString(QStringLiteral("yyyy-MM-dd")).toLatin1() == text ? day
                                                                                          : QDate();
}

std::variant<Request, QString> resultsRequest(std::span<const char *const> arguments) {
    Request request{Request::Kind::Results, {}, 0, {}, {}, {}};
    if (arguments.size() == 1)
        return request;
    if (arguments.size() == 3) {
        request.first = dayOf(arguments[1]);
        request.last = dayOf(arguments[2]);
        if (request.first.isValid() && request.last.isValid() && request.first <= request.last)
            return request;
    }
    return refused(QStringLiteral("results vuole nessun argomento, oppure due giorni come "
                                  "2026-09-01, il primo non dopo il secondo"));
}

struct Field {
    QByteArray key;
    // cppcheck-suppress unusedStructMember ; read through Parsed::fields
    QByteArray bytes;
    QString value() const { return QString::fromUtf8(bytes); }
};

void addField(QByteArray &text, const char *key, const QByteArray &bytes) {
    text += key;
    text += ' ';
    text += QByteArray::number(bytes.size());
    text += '\n';
    text += bytes;
    text += '\n';
}

void addField(QByteArray &text, const char *key, const QString &value) {
    addField(text, key, value.toUtf8());
}

Answer withMessage(const char *outcome, const QString &message, int status) {
    Answer answer{QByteArray(outcome) + '\n', status};
    addField(answer.text, "message", message);
    return answer;
}

struct Parsed {
    QByteArray outcome;
    QList<Field> fields;

    // Whether the fields are exactly these keys, in this order.
    bool has(std::initializer_list<const char *> keys) const {
        return std::ranges::equal(
            fields, keys, [](const Field &field, const char *key) { return field.key == key; });
    }
    QString message() const { return fields.isEmpty() ? QString() : fields.back().value(); }
};

// The outcome line and the fields of an answer, if it has the keeper's form. With
// cut, an answer whose last field stops short (a keeper killed as it wrote) gives
// the fields before it, and cut is set.
std::optional<Parsed> parse(const QByteArray &text, qsizetype maxBytes = kMaxAnswerBytes,
                            bool *cut = nullptr) {
    if (text.size() > maxBytes)
        return std::nullopt;
    qsizetype at = text.indexOf('\n');
    if (at < 0)
        return std::nullopt;
    Parsed parsed{text.first(at), {}};
    ++at;
    while (at < text.size()) {
        const qsizetype headerEnd = text.indexOf('\n', at);
        if (headerEnd < 0 && cut) {
            *cut = true;
            break;
        }
        if (headerEnd < 0)
            return std::nullopt;
        const QByteArrayView header = QByteArrayView(text).sliced(at, headerEnd - at);
        const qsizetype space = header.indexOf(' ');
        if (space < 0)
            return std::nullopt;
        const std::optional<qint64> length = plainNumber(header.sliced(space + 1), 12);
        const qsizetype start = headerEnd + 1;
        if (length && *length >= text.size() - start && cut) {
            *cut = true;
            break;
        }
        if (!length || *length >= text.size() - start || text[start + *length] != '\n')
            return std::nullopt;
        parsed.fields.append({header.first(space).toByteArray(), text.sliced(start, *length)});
        at = start + *length + 1;
    }
    return parsed;
}

} // namespace

std::variant<Request, QString> parseArguments(std::span<const char *const> arguments) {
    if (arguments.empty())
        return refused(QStringLiteral("manca la richiesta"));
    const QByteArrayView kind(arguments[0]);
    if (kind == "read") {
        if (arguments.size() != 1)
            return refused(QStringLiteral("read non vuole altri argomenti"));
        return Request{};
    }
    if (kind == "result")
        return resultRequest(arguments);
    if (kind == "results")
        return resultsRequest(arguments);
    if (kind == "clear-results") {
        if (arguments.size() != 1)
            return refused(QStringLiteral("clear-results non vuole altri argomenti"));
        return Request{Request::Kind::ClearResults, {}, 0, {}, {}, {}};
    }
    if (kind != "store")
        return refused(QStringLiteral("richiesta sconosciuta"));
    if (arguments.size() != 3)
        return refused(
            QStringLiteral("store vuole due argomenti, i punti e la lunghezza del nome"));
    const std::optional<qint64> score = plainNumber(arguments[1], 5);
    if (!score || *score > kMaxScore)
        return refused(QStringLiteral("i punti sono un numero intero da 0 a %1").arg(kMaxScore));
    const std::variant<qsizetype, QString> length = nameLength(arguments[2]);
    if (const QString *why = std::get_if<QString>(&length))
        return *why;
    return Request{
        Request::Kind::Store, QString::number(*score), std::get<qsizetype>(length), {}, {}, {}};
}

QString wrongNameLength(qsizetype announced, qsizetype received) {
    if (received < 0)
        return refused(QStringLiteral("il nome non si legge dallo standard input"));
    return refused(received < announced
                       ? QStringLiteral("il nome è finito dopo %1 dei %2 byte annunciati")
                             .arg(received)
                             .arg(announced)
                       : QStringLiteral("dopo i %1 byte del nome c'è dell'altro").arg(announced));
}

Answer answerTo(const records::ReadResult &result) {
    switch (result.outcome) {
    case ReadOutcome::Read: {
        Answer answer{QByteArrayLiteral("read\n"), status::kDone};
        addField(answer.text, "score", result.pair.score);
        addField(answer.text, "name", result.pair.name);
        if (!result.message.isEmpty())
            addField(answer.text, "message", result.message);
        return answer;
    }
    case ReadOutcome::Busy:
        return withMessage("busy", result.message, status::kBusy);
    case ReadOutcome::Unreachable: {
        Answer answer{QByteArrayLiteral("unreachable\n"), status::kUnreachable};
        addField(answer.text, "score", result.pair.score);
        addField(answer.text, "name", result.pair.name);
        addField(answer.text, "message", result.message);
        return answer;
    }
    case ReadOutcome::Failed:
        break;
    }
    return withMessage("failed", result.message, status::kFailed);
}

Answer answerTo(const records::StoreResult &result) {
    switch (result.outcome) {
    case StoreOutcome::Stored:
        return {QByteArrayLiteral("stored\n"), status::kDone};
    case StoreOutcome::NotBetter:
        return {QByteArrayLiteral("not-better\n"), status::kNotBetter};
    case StoreOutcome::Pending:
        return withMessage("pending", result.message, status::kPending);
    case StoreOutcome::Busy:
        return withMessage("busy", result.message, status::kBusy);
    case StoreOutcome::Failed:
    case StoreOutcome::Unknown:
        break;
    }
    return withMessage("failed", result.message, status::kFailed);
}

Answer refusal(const QString &message) {
    return withMessage("refused", message, status::kRefused);
}

Answer appendAnswer(bool appended, const QString &why) {
    if (appended)
        return {QByteArrayLiteral("appended\n"), status::kDone};
    return withMessage("not-appended", why, status::kFailed);
}

Answer clearedAnswer(const QStringList &problems) {
    Answer answer{QByteArrayLiteral("cleared\n"),
                  problems.isEmpty() ? status::kDone : status::kFailed};
    for (const QString &problem : problems)
        addField(answer.text, "problem", problem);
    return answer;
}

QByteArray resultsStart() {
    return QByteArrayLiteral("results\n");
}

QByteArray resultsList(const records::ResultSegment &segment) {
    QByteArray text;
    addField(text, "list", segment.path);
    addField(text, "lines", segment.bytes);
    return text;
}

QByteArray resultsProblem(const QString &problem) {
    QByteArray text;
    addField(text, "problem", problem);
    return text;
}

QByteArray resultsEnd() {
    return QByteArrayLiteral("end 0\n\n");
}

std::optional<records::ReadResult> readAnswer(const QByteArray &text, int status) {
    const std::optional<Parsed> answer = parse(text);
    if (!answer)
        return std::nullopt;
    const QByteArray &outcome = answer->outcome;
    if (outcome == "read" && status == status::kDone &&
        (answer->has({"score", "name"}) || answer->has({"score", "name", "message"}))) {
        const QString message = answer->fields.size() == 3 ? answer->message() : QString();
        return records::ReadResult{
            ReadOutcome::Read, {answer->fields[0].value(), answer->fields[1].value()}, message};
    }
    if (outcome == "unreachable" && status == status::kUnreachable &&
        answer->has({"score", "name", "message"}))
        return records::ReadResult{ReadOutcome::Unreachable,
                                   {answer->fields[0].value(), answer->fields[1].value()},
                                   answer->message()};
    if (!answer->has({"message"}))
        return std::nullopt;
    if (outcome == "busy" && status == status::kBusy)
        return records::ReadResult{ReadOutcome::Busy, {}, answer->message()};
    if ((outcome == "failed" && status == status::kFailed) ||
        (outcome == "refused" && status == status::kRefused))
        return records::ReadResult{ReadOutcome::Failed, {}, answer->message()};
    return std::nullopt;
}

std::optional<int> answeredStatus(const QByteArray &text) {
    const qsizetype end = text.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    static constexpr std::array kStatuses = {
        std::pair{"read", status::kDone},
        std::pair{"stored", status::kDone},
        std::pair{"pending", status::kPending},
        std::pair{"not-better", status::kNotBetter},
        std::pair{"failed", status::kFailed},
        std::pair{"busy", status::kBusy},
        std::pair{"unreachable", status::kUnreachable},
        std::pair{"refused", status::kRefused},
    };
    const QByteArrayView outcome = QByteArrayView(text).first(end);
    for (const auto &[name, status] : kStatuses) {
        if (outcome == name && (readAnswer(text, status) || storeAnswer(text, status)))
            return status;
    }
    return std::nullopt;
}

std::optional<records::StoreResult> storeAnswer(const QByteArray &text, int status) {
    const std::optional<Parsed> answer = parse(text);
    if (!answer)
        return std::nullopt;
    struct Kind {
        const char *outcome;
        int status;
        StoreOutcome result;
        bool message;
    };
    static constexpr std::array kKinds = {
        Kind{"stored", status::kDone, StoreOutcome::Stored, false},
        Kind{"not-better", status::kNotBetter, StoreOutcome::NotBetter, false},
        Kind{"pending", status::kPending, StoreOutcome::Pending, true},
        Kind{"failed", status::kFailed, StoreOutcome::Failed, true},
        Kind{"busy", status::kBusy, StoreOutcome::Busy, true},
        // The keeper did nothing: a refused request changes no file.
        Kind{"refused", status::kRefused, StoreOutcome::Failed, true},
    };
    for (const Kind &kind : kKinds) {
        if (answer->outcome != kind.outcome || status != kind.status)
            continue;
        if (kind.message ? !answer->has({"message"}) : !answer->has({}))
            return std::nullopt;
        return records::StoreResult{kind.result, answer->message()};
    }
    return std::nullopt;
}

std::optional<ResultsAnswer> resultsAnswer(const QByteArray &text, int status) {
    bool cut = false;
    const std::optional<Parsed> answer = parse(text, kUnbounded, &cut);
    if (!answer)
        return std::nullopt;
    ResultsAnswer results;
    if (answer->outcome == "refused" || answer->outcome == "failed") {
        if (!answer->has({"message"}) || status == status::kDone)
            return std::nullopt;
        results.refusal = answer->message();
        return results;
    }
    if (answer->outcome != "results" || status != status::kDone)
        return std::nullopt;
    for (qsizetype i = 0; i < answer->fields.size(); ++i) {
        const Field &field = answer->fields[i];
        if (results.complete)
            return std::nullopt; // nothing follows the end
        if (field.key == "end" && field.bytes.isEmpty()) {
            results.complete = true;
        } else if (field.key == "problem") {
            results.problems.append(field.value());
        } else if (field.key == "list" && i + 1 < answer->fields.size() &&
                   answer->fields[i + 1].key == "lines") {
            results.segments.push_back({field.value(), answer->fields[i + 1].bytes});
            ++i;
        } else {
            return std::nullopt;
        }
    }
    if (cut && results.complete)
        return std::nullopt; // nothing follows the end
    return results;
}

std::optional<bool> clearedAnswer(const QByteArray &text, int status, QStringList &problems) {
    const std::optional<Parsed> answer = parse(text);
    if (!answer)
        return std::nullopt;
    if ((answer->outcome == "refused" || answer->outcome == "failed") && answer->has({"message"}) &&
        status != status::kDone) {
        problems = {answer->message()};
        return false;
    }
    if (answer->outcome != "cleared" ||
        !std::ranges::all_of(answer->fields, [](const Field &f) { return f.key == "problem"; }) ||
        (status == status::kDone) != answer->fields.isEmpty())
        return std::nullopt;
    for (const Field &field : answer->fields)
        problems.append(field.value());
    return problems.isEmpty();
}

} // namespace zarvoni::keeper
