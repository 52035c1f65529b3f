// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The game's one window: it builds its controls from the control table and wires
// their events to the game's rules, which live in the libraries.

#include "app/seams.h"
#include "clock/countdown.h"
#include "game/exercise.h"
#include "game/gamestate.h"
#include "records/recordstore.h"
#include "records/resultslist.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QMenu;
class QTimer;

namespace zarvoni {

class Announcer;
class CaptionLabel;
class PictureButton;
class Surface;

inline const QString kGameTitle = QStringLiteral("Gioca con le zarvoni di I grado");

class Tavola : public QMainWindow {
    Q_OBJECT
public:
    explicit Tavola(const Seams &seams, QWidget *parent = nullptr);
    ~Tavola() override;

    // Start-up: the name, the greeting, the clock and the record line. Runs once,
    // before the window is first shown.
    void Form_Load();

    const GameState &stato() const { return m_stato; }
    const Countdown &orologio() const { return m_orologio; }

signals:
    // The pupil chose a new game: this window is done and a fresh one should replace it.
    void restartRequested();

public slots:
    void Form_Activate();
    void Form_Resize();
    void cmdNext_Click();
    void cmdExit_Click();
    void Timer1_Timer();
    void Next_Click();
    // Sees every character typed into the answer box first; 0 cancels it.
    void txtAnswer_KeyPress(int &keyAscii);

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void AvviaTimer();
    void TitoloTempo();
    // The record directory as the system writes paths, ending in its separator.
    QString GetSystemDir() const;
    // Starts reading the record (both record files as one pair, created empty first
    // where missing, or the class's record), away from the window's thread; its
    // answer fills the record line once start-up is done.
    void Leggifiletxt();
    void recordRead(const records::ReadResult &record);
    void showRecordLine(const records::ReadResult &record);
    // Stores a better score, away from the window's thread, and waits for it.
    records::StoreResult storeRecord();
    void tellStored(const records::StoreResult &result);
    // Work away from the window's thread that the end of the game waits for: the
    // window keeps drawing meanwhile and ignores the pupil, as the game is over.
    struct Awaited;
    std::shared_ptr<Awaited> startAwaited(std::function<void()> work);
    static void await(Awaited &work);
    // Starts adding the game's line to the results list; record: its score
    // became the record, or is kept to become it.
    std::shared_ptr<Awaited> appendResult(bool record);
    void paintGradient(const Exercise &exercise);
    void endProgram();

    // Where the window is in its life. Only setPhase changes it; handlers read it
    // through inGame() before they act.
    enum class Phase {
        Loading, // created and started, not yet activated: activation poses the first exercise
        Playing,
        Ending, // the end-of-game routine runs, with its boxes open: it runs once
        Done,   // the program ended, or the pupil closed the window or chose a new game
    };
    void setPhase(Phase next);
    bool inGame() const { return m_phase == Phase::Loading || m_phase == Phase::Playing; }

    template <class T> T *control(const char *name) const;

    Seams m_seams;
    GameState m_stato;
    Countdown m_orologio;
    Phase m_phase = Phase::Loading;
    // Whether start-up could show the record: only then is a better record found
    // at the end one that another game stored meanwhile.
    bool m_recordShown = false;
    // The record as read, while start-up has not yet reached the record line.
    std::optional<records::ReadResult> m_recordRead;
    bool m_recordLineReady = false;
    // How the end-of-game routine was reached: the clock, or the pupil.
    records::GameEnding m_ending = records::GameEnding::Exit;

    Surface *m_surface = nullptr;
    Announcer *m_annuncio = nullptr;
    QTimer *Timer1 = nullptr;
    QLineEdit *txtAnswer = nullptr;
    PictureButton *cmdNext = nullptr;
    PictureButton *cmdExit = nullptr;
    CaptionLabel *lblNum1 = nullptr;
    CaptionLabel *lblNum2 = nullptr;
    CaptionLabel *lblNum3 = nullptr;
    CaptionLabel *lblNum4 = nullptr;
    CaptionLabel *Lblsegno = nullptr;
    CaptionLabel *Lblsegno2 = nullptr;
    CaptionLabel *lblMessage = nullptr;
    CaptionLabel *lblScore = nullptr;
    CaptionLabel *lblScore1 = nullptr;
    CaptionLabel *lblScore2 = nullptr;
    CaptionLabel *lblconto = nullptr;
    CaptionLabel *lblnome = nullptr;
    CaptionLabel *lblnome1 = nullptr;
    CaptionLabel *lblpunti = nullptr;
    QMenu *Next = nullptr;
};

} // namespace zarvoni
