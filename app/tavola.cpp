// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tavola.h"

#include "app/announcer.h"
#include "app/captionlabel.h"
#include "app/controlfactory.h"
#include "app/images.h"
#include "app/messageboxcode.h"
#include "app/picturebutton.h"
#include "app/screenreaderevents.h"
#include "app/surface.h"
#include "game/answercheck.h"
#include "game/numberrules.h"
#include "game/spoken.h"
#include "records/recordfiles.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <memory>
#include <optional>

namespace zarvoni {

namespace {

// The caption the window is created with; the first resize replaces it.
const QString kCreationCaption = kGameTitle + QStringLiteral("       ");

const QString kNamePrompt = QStringLiteral("Come ti chiami?");
const QString kGreetingEnd = QStringLiteral(" vediamo se sei un vero campione  ");
const QString kFarewellStart = QStringLiteral("Ciao ");
const QString kFarewellEnd = QStringLiteral(", alla prossima sfida!");
const QString kFarewellTitleStart = QStringLiteral("Data ");
const QString kRecordStored = QStringLiteral("Ok ho registrato il tuo record, C A M P I O N E");
const QString kRecordBeatenMeanwhile =
    QStringLiteral("Nel frattempo un'altra partita ha registrato un record uguale o migliore "
                   "del tuo, quindi il tuo punteggio non è stato registrato.");
// When the record could not be shown at start-up, nobody need have stored one since.
const QString kRecordNotBeaten =
    QStringLiteral("Il record registrato è uguale o migliore del tuo punteggio, quindi il tuo "
                   "punteggio non è stato registrato.");
// The record line while the record is on its way, and when the class's record on
// the school's server cannot be reached.
const QString kRecordComing = QStringLiteral("…");
const QString kUnknownScore = QStringLiteral("?");
const QString kClassRecordUnreachable = QStringLiteral("? (server non raggiungibile ora)");
const QString kRestartPrompt = QStringLiteral("INIZIAMO UNA NUOVA GARA  ?");
const QString kRestartTitle = QStringLiteral("INIZIARE NUOVA GARA");

// Told to a screen reader as the last displayed minute begins.
const QString kLastMinute = QStringLiteral("Attenzione: ultimo minuto di gioco.");
constexpr int kLastMinuteSeconds = 60;

constexpr int kRestartButtons =
    MessageBoxCode::YesNo | MessageBoxCode::Question | MessageBoxCode::SecondButtonDefault;

// The vertical scale the background gradient is painted on: two units a band.
constexpr int kGradientScale = 2 * kGradientBands;

// The custom pointers' hot spots, in pixels of their 32 x 32 pictures.
constexpr QPoint kVisorHotSpot(4, 4);
constexpr QPoint kIconPointerHotSpot(16, 16);

// The character a key press types, as the answer box's key filter sees it:
// Enter, backspace and printable characters. Shortcuts, navigation and editing
// keys (arrows, Delete, Ctrl+V) are not characters and reach the box untouched.
std::optional<int> typedCharacter(const QKeyEvent &key) {
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)
        return kKeyEnter;
    if (key.key() == Qt::Key_Backspace)
        return kKeyBackspace;
    if (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return std::nullopt;
    const QString text = key.text();
    if (text.isEmpty() || text.front() < u' ' || text.front() == u'\x7f')
        return std::nullopt;
    return text.front().unicode();
}

} // namespace

template <class T> T *Tavola::control(const char *name) const {
    T *found = findChild<T *>(QString::fromLatin1(name));
    Q_ASSERT_X(found, "Tavola", name);
    return found;
}

Tavola::Tavola(const Seams &seams, QWidget *parent) : QMainWindow(parent), m_seams(seams) {
    setObjectName(QStringLiteral("Tavola"));
    setWindowTitle(kCreationCaption);
    setWindowIcon(svgIcon(":/images/zarvoni.svg"));
    setFont(fontFor(kDefaultFont));

    m_surface = new Surface(this);
    m_surface->setFixedSize(pixelRect(kClientArea).size());
    m_surface->setBackgroundColour(QColor::fromRgb(kWindowBackground));
    setCentralWidget(m_surface);
    m_annuncio = new Announcer(this);
    buildControls(m_surface, this);
    buildMenus(menuBar());

    Timer1 = control<QTimer>("Timer1");
    txtAnswer = control<QLineEdit>("txtAnswer");
    cmdNext = control<PictureButton>("cmdNext");
    cmdExit = control<PictureButton>("cmdExit");
    lblNum1 = control<CaptionLabel>("lblNum1");
    lblNum2 = control<CaptionLabel>("lblNum2");
    lblNum3 = control<CaptionLabel>("lblNum3");
    lblNum4 = control<CaptionLabel>("lblNum4");
    Lblsegno = control<CaptionLabel>("Lblsegno");
    Lblsegno2 = control<CaptionLabel>("Lblsegno2");
    lblMessage = control<CaptionLabel>("lblMessage");
    lblScore = control<CaptionLabel>("lblScore");
    lblScore1 = control<CaptionLabel>("lblScore1");
    lblScore2 = control<CaptionLabel>("lblScore2");
    lblconto = control<CaptionLabel>("lblconto");
    lblnome = control<CaptionLabel>("lblnome");
    lblnome1 = control<CaptionLabel>("lblnome1");
    lblpunti = control<CaptionLabel>("lblpunti");
    Next = control<QMenu>("Next");

    cmdNext->setEnabled(false);
    const qreal ratio = devicePixelRatioF();
    m_surface->setCursor(svgCursor(":/images/pointer-visor.svg", kVisorHotSpot, ratio));
    const QCursor iconPointer = svgCursor(":/images/pointer-icon.svg", kIconPointerHotSpot, ratio);
    cmdNext->setCursor(iconPointer);
    lblMessage->setCursor(iconPointer);

    txtAnswer->installEventFilter(this);
    connect(Timer1, &QTimer::timeout, this, &Tavola::Timer1_Timer);
    connect(cmdNext, &QPushButton::clicked, this, &Tavola::cmdNext_Click);
    connect(cmdExit, &QPushButton::clicked, this, &Tavola::cmdExit_Click);
    connect(Next, &QMenu::aboutToShow, this, &Tavola::Next_Click);
}

Tavola::~Tavola() = default;

void Tavola::Form_Load() {
    m_seams.random.reseed();
    Timer1->stop();
    // Read while the pupil types a name: the class's record may take its time.
    Leggifiletxt();
    const QString nome = m_seams.dialogs.inputBox(kNamePrompt, kGameTitle);
    m_seams.dialogs.messageBox(u' ' + nome + kGreetingEnd, MessageBoxCode::Exclamation, kGameTitle);
    lblnome1->setCaption(nome);
    AvviaTimer();
    m_stato.cartella = GetSystemDir();
    m_recordLineReady = true;
    if (m_recordRead)
        showRecordLine(*m_recordRead);
    else
        lblnome->setCaption(kRecordComing);
    lblconto->setCaption(m_orologio.displayText());
    lblScore1->setCaption(QStringLiteral("0"));
    lblScore->setCaption(QStringLiteral("0"));
}

void Tavola::Form_Activate() {
    cmdNext_Click();
}

void Tavola::Form_Resize() {
    if (isMinimized())
        TitoloTempo();
    else
        setWindowTitle(kGameTitle);
}

void Tavola::cmdNext_Click() {
    if (!inGame())
        return;
    const Exercise exercise = drawExercise(m_seams.random);
    lblMessage->setCaption(QString());
    Lblsegno2->show();
    Lblsegno->show();
    lblNum1->setCaption(exercise.captions[0]);
    lblNum2->setCaption(exercise.captions[1]);
    lblNum3->setCaption(exercise.captions[2]);
    lblNum4->setCaption(exercise.captions[3]);
    Lblsegno2->setVisible(exercise.secondPlusVisible);
    m_stato.pose(exercise.risultato);
    paintGradient(exercise);
    // What a screen reader says as the answer box takes the focus: the exercise.
    setSpokenDescription(*txtAnswer, spokenExercise(exercise));
    // The box is emptied before it takes the focus, and "Nuovo calcolo" loses its
    // verdict and is disabled once it has handed the focus to the box (disabled
    // first, it would hand it on to "Exit"). A screen reader hears of none of these
    // changes but the descriptions, as neither control has the focus then
    // (screenreaderevents.h): what it speaks is the focus arriving in an empty box
    // that says the exercise.
    // A box that already has the focus (the pupil went back to it and pressed the
    // access key) gets no focus event: the exercise is announced instead.
    const bool focusStays = txtAnswer->hasFocus();
    txtAnswer->clear();
    txtAnswer->setFocus();
    if (focusStays)
        m_annuncio->announce(txtAnswer->accessibleDescription());
    setSpokenDescription(*cmdNext, QString());
    cmdNext->setEnabled(false);
}

void Tavola::txtAnswer_KeyPress(int &keyAscii) {
    // The game is over while its end stores the record.
    if (!inGame()) {
        keyAscii = 0;
        return;
    }
    switch (filterKey(keyAscii)) {
    case KeyAction::Pass:
        return;
    case KeyAction::Cancel:
        keyAscii = 0;
        return;
    case KeyAction::Check:
        break;
    }
    const std::optional<Verdict> verdict = checkAnswer(m_stato, txtAnswer->text());
    if (!verdict)
        return;
    lblMessage->setCaption(verdict->message);
    if (!verdict->correct) {
        m_surface->setBackgroundColour(Qt::black);
        lblScore1->setCaption(formatPlain(m_stato.errate));
    }
    lblScore->setCaption(formatPlain(m_stato.esatte));
    lblScore2->setCaption(formatPlain(m_stato.totale()));
    // What a screen reader says as "Nuovo calcolo" takes the focus.
    setSpokenDescription(*cmdNext, spokenVerdict(verdict->correct, m_stato));
    cmdNext->setEnabled(true);
    cmdNext->setFocus();
}

void Tavola::Timer1_Timer() {
    if (!inGame())
        return;
    if (m_orologio.tick() == Countdown::Tick::Expired) {
        m_ending = records::GameEnding::TimeUp;
        cmdExit_Click();
        return;
    }
    lblconto->setCaption(m_orologio.displayText());
    if (m_orologio.tempoRestante() == kLastMinuteSeconds)
        m_annuncio->announce(kLastMinute); // the focus stays where the pupil left it
    if (isMinimized())
        TitoloTempo();
}

void Tavola::cmdExit_Click() {
    if (!inGame())
        return;
    // The game is over: no tick may start this routine again while its boxes are open.
    setPhase(Phase::Ending);
    Timer1->stop();
    const double stored = leadingNumber(lblpunti->caption());
    const double score = leadingNumber(lblScore->caption());
    // The line is written while the pupil reads the boxes: the game ends no later
    // for it, but where a server keeps it waiting.
    std::shared_ptr<Awaited> line;
    if (score <= stored)
        line = appendResult(false);
    m_seams.dialogs.messageBox(kFarewellStart + lblnome1->caption() + kFarewellEnd,
                               MessageBoxCode::Ok, kFarewellTitleStart + m_seams.time.shortDate());
    if (score > stored) {
        const records::StoreResult result = storeRecord();
        using Outcome = records::StoreResult::Outcome;
        line =
            appendResult(result.outcome == Outcome::Stored || result.outcome == Outcome::Pending);
        tellStored(result);
    }
    await(*line);
    endProgram();
}

void Tavola::Next_Click() {
    if (!inGame())
        return;
    const int answer = m_seams.dialogs.messageBox(kRestartPrompt, kRestartButtons, kRestartTitle);
    // The box runs the event loop: the clock may have ended the game meanwhile.
    if (!inGame())
        return;
    if (answer == static_cast<int>(MessageBoxButton::No)) {
        // The question box took the window's activation, and the menu that opens
        // next keeps the window system from giving it back. The window takes it
        // back itself, or the focus would not return to the answer box or to
        // "Nuovo calcolo" once the pupil closes the menu. It must be active before
        // the menu opens: activateWindow() asks the window system, whose answer
        // arrives with the menu open and is then ignored. Qt 6.8 deprecates this
        // call for that one, but it works in every Qt 6, and nothing else does it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        QApplication::setActiveWindow(this);
#pragma GCC diagnostic pop
        return;
    }
    Timer1->stop();
    setPhase(Phase::Done);
    m_ending = records::GameEnding::NewGame;
    await(*appendResult(false));
    hide();
    emit restartRequested();
}

bool Tavola::event(QEvent *event) {
    const bool handled = QMainWindow::event(event);
    // Only the first activation poses an exercise, not every return from another program.
    if (event->type() == QEvent::WindowActivate && m_phase == Phase::Loading) {
        setPhase(Phase::Playing);
        Form_Activate();
    }
    return handled;
}

void Tavola::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void Tavola::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

// Closing the window ends the program with nothing stored; while the end-of-game
// routine runs, it is that routine that ends the program.
void Tavola::closeEvent(QCloseEvent *event) {
    if (m_phase == Phase::Ending) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_phase != Phase::Done)
        endProgram();
}

bool Tavola::eventFilter(QObject *watched, QEvent *event) {
    if (watched == txtAnswer && event->type() == QEvent::KeyPress) {
        const std::optional<int> typed = typedCharacter(*static_cast<QKeyEvent *>(event));
        if (typed) {
            int keyAscii = *typed;
            txtAnswer_KeyPress(keyAscii);
            return keyAscii == 0;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Tavola::AvviaTimer() {
    Timer1->start();
    m_orologio.start();
    lblconto->setCaption(m_orologio.displayText());
}

void Tavola::TitoloTempo() {
    setWindowTitle(m_orologio.displayText());
}

QString Tavola::GetSystemDir() const {
    return QDir::toNativeSeparators(records::withTrailingSeparator(m_seams.recordDirectory));
}

void Tavola::Leggifiletxt() {
    auto record = std::make_shared<records::ReadResult>();
    m_seams.background.run([record, &records = m_seams.records] { *record = records.read(); }, this,
                           [this, record] { recordRead(*record); });
}

// Kept until start-up has shown its boxes, and shown only while the game goes on.
void Tavola::recordRead(const records::ReadResult &record) {
    m_recordRead = record;
    if (m_recordLineReady && inGame())
        showRecordLine(record);
}

void Tavola::showRecordLine(const records::ReadResult &record) {
    m_recordShown = record.ok();
    if (record.outcome == records::ReadResult::Outcome::Unreachable) {
        // The line says it: the game goes on, and stores a better score all the same.
        lblpunti->setCaption(kUnknownScore);
        lblnome->setCaption(kClassRecordUnreachable);
        return;
    }
    lblpunti->setCaption(record.pair.score);
    lblnome->setCaption(record.pair.name);
    if (!record.message.isEmpty())
        m_seams.dialogs.messageBox(record.message, MessageBoxCode::Exclamation, kGameTitle);
}

records::StoreResult Tavola::storeRecord() {
    auto stored = std::make_shared<records::StoreResult>();
    await(*startAwaited([stored, &records = m_seams.records, score = lblScore->caption(),
                         name = lblnome1->caption()] { *stored = records.store(score, name); }));
    return *stored;
}

void Tavola::tellStored(const records::StoreResult &result) {
    switch (result.outcome) {
    case records::StoreResult::Outcome::Stored:
        m_seams.dialogs.messageBox(kRecordStored, MessageBoxCode::Ok, QString());
        break;
    case records::StoreResult::Outcome::NotBetter:
        m_seams.dialogs.messageBox(m_recordShown ? kRecordBeatenMeanwhile : kRecordNotBeaten,
                                   MessageBoxCode::Information, kGameTitle);
        break;
    case records::StoreResult::Outcome::Pending:
    case records::StoreResult::Outcome::Failed:
    case records::StoreResult::Outcome::Busy:
    case records::StoreResult::Outcome::Unknown:
        m_seams.dialogs.messageBox(result.message, MessageBoxCode::Exclamation, kGameTitle);
        break;
    }
}

struct Tavola::Awaited {
    bool answered = false;
    QEventLoop waiting;
};

std::shared_ptr<Tavola::Awaited> Tavola::startAwaited(std::function<void()> work) {
    auto awaited = std::make_shared<Awaited>();
    m_seams.background.run(std::move(work), this, [awaited] {
        awaited->answered = true;
        awaited->waiting.quit();
    });
    return awaited;
}

void Tavola::await(Awaited &work) {
    if (!work.answered)
        work.waiting.exec();
}

std::shared_ptr<Tavola::Awaited> Tavola::appendResult(bool record) {
    const records::GameEnd game{lblnome1->caption(), m_stato.esatte, m_stato.errate,
                                m_stato.totale(),    record,         m_ending};
    return startAwaited([&results = m_seams.results, game] { results.append(game); });
}

void Tavola::paintGradient(const Exercise &exercise) {
    Surface::Bands bands(*m_surface, kGradientScale);
    for (int i = 0; i < kGradientBands; ++i) {
        const Rgb colour = gradientBand(exercise, i);
        bands.fill(2 * i, 2 * i + 2, QColor(colour.red, colour.green, colour.blue));
    }
}

void Tavola::endProgram() {
    Timer1->stop();
    setPhase(Phase::Done);
    setEnabled(false); // nothing the pupil does reaches a handler any more
    m_seams.end.endProgram();
}

void Tavola::setPhase(Phase next) {
    // The phases only go forward: nothing brings a finished game back.
    Q_ASSERT(next > m_phase);
    m_phase = next;
}

} // namespace zarvoni
