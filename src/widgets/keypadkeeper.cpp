#include "keypadkeeper.h"

#include <QCoreApplication>

#include "globals.h"
#include "numberinput.h"
#include "numcharinput.h"

namespace {

using State = KeypadKeeper::State;

void watchNumPad(const std::shared_ptr<State>& state);
void watchNumCharPad(const std::shared_ptr<State>& state);

void numPadDestroyed(const std::shared_ptr<State>& state, QObject* keypad) {
    // Only the current shared keypad matters; an older one may be deleted later.
    if (static_cast<QObject*>(gpNumPad) != keypad) return;
    gpNumPad = nullptr;
    if (state->shuttingDown) return;
    gpNumPad = new NumberInput(nullptr);
    ++state->replacements;
    watchNumPad(state);
}

void numCharPadDestroyed(const std::shared_ptr<State>& state, QObject* keypad) {
    if (static_cast<QObject*>(gpNumCharPad) != keypad) return;
    gpNumCharPad = nullptr;
    if (state->shuttingDown) return;
    gpNumCharPad = new NumCharInput(nullptr);
    ++state->replacements;
    watchNumCharPad(state);
}

// The watchers have no context object: they must run even when the keeper was deleted first
// (it is a child of the main window, as the keypads are).
void watchNumPad(const std::shared_ptr<State>& state) {
    QObject::connect(gpNumPad, &QObject::destroyed,
                     [state](QObject* keypad) { numPadDestroyed(state, keypad); });
}

void watchNumCharPad(const std::shared_ptr<State>& state) {
    QObject::connect(gpNumCharPad, &QObject::destroyed,
                     [state](QObject* keypad) { numCharPadDestroyed(state, keypad); });
}

}  // namespace

KeypadKeeper::KeypadKeeper(QObject* parent) : QObject(parent), state_(std::make_shared<State>()) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        std::shared_ptr<State> state = state_;
        connect(app, &QCoreApplication::aboutToQuit, this, [state] { state->shuttingDown = true; });
    }
}

KeypadKeeper::~KeypadKeeper() {
    state_->shuttingDown = true;
}

void KeypadKeeper::install() {
    if (!gpNumPad) gpNumPad = new NumberInput(nullptr);
    if (!gpNumCharPad) gpNumCharPad = new NumCharInput(nullptr);
    watchNumPad(state_);
    watchNumCharPad(state_);
}

void KeypadKeeper::setShuttingDown(bool shuttingDown) {
    state_->shuttingDown = shuttingDown;
}

bool KeypadKeeper::isShuttingDown() const {
    return state_->shuttingDown;
}

int KeypadKeeper::replacements() const {
    return state_->replacements;
}
