#pragma once
#include <QObject>
#include <memory>

// Keeps the shared keypads gpNumPad and gpNumCharPad alive: a keypad that is deleted (for
// instance with a window it was moved into) is replaced at once by a fresh one without parent.
// While the program shuts down nothing is replaced, so tearing the main window down never
// creates new top-level windows. The main window sets the flag in its destructor; the
// application's aboutToQuit and the keeper's own destruction set it too. A deleted keypad
// always clears its global, even after the keeper has gone.
class KeypadKeeper : public QObject {
    Q_OBJECT
public:
    explicit KeypadKeeper(QObject* parent = nullptr);
    ~KeypadKeeper() override;

    // Creates the keypads that are missing and watches both.
    void install();

    void setShuttingDown(bool shuttingDown);
    bool isShuttingDown() const;
    // Keypads created in place of deleted ones.
    int replacements() const;

    struct State {
        bool shuttingDown = false;
        int replacements = 0;
    };

private:
    // Shared with the watchers on the keypads, which may outlive the keeper.
    std::shared_ptr<State> state_;
};
