#pragma once

#include <QObject>

#include <memory>

class QSoundEffect;

namespace skylark::ui {

// The chime of a round with special fares, played without waiting. A machine without an
// audio output stays silent; that is never an error.
class AlertSound : public QObject {
public:
    static constexpr char kSource[] = "qrc:/skylark/sounds/alert.wav";

    explicit AlertSound(QObject* parent = nullptr);
    ~AlertSound() override;

    // False when no audio output was found, so play() does nothing.
    bool hasOutput() const { return m_effect != nullptr; }
    void play();

private:
    std::unique_ptr<QSoundEffect> m_effect;
};

} // namespace skylark::ui
