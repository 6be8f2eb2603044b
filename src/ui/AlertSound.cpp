#include "AlertSound.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace skylark::ui {

AlertSound::AlertSound(QObject* parent)
    : QObject(parent) {
    if (QMediaDevices::audioOutputs().isEmpty()) {
        return;
    }
    m_effect = std::make_unique<QSoundEffect>();
    m_effect->setSource(QUrl(QString::fromLatin1(kSource)));
}

AlertSound::~AlertSound() = default;

void AlertSound::play() {
    if (m_effect) {
        m_effect->play();
    }
}

} // namespace skylark::ui
