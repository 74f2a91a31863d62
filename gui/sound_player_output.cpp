// The sound player's output through Qt Multimedia: the module the player loads at the first
// sound.
#include <QAudioDevice>
#include <QHash>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

#include "gui/sound_player.h"

namespace zp::client {
namespace {

class MultimediaOutput final : public SoundOutput {
 public:
  using SoundOutput::SoundOutput;

  bool hasAudio() override { return !QMediaDevices::audioOutputs().isEmpty(); }

  void play(const QString& resource) override {
    QSoundEffect* effect = effectFor(resource);
    if (current_ != nullptr && current_ != effect) current_->stop();
    // play() alone counts on the effect having seen the end of its last run, which the output
    // reports late or, on some systems, never; stopping first makes every request start the
    // sound from its beginning.
    effect->stop();
    effect->play();
    current_ = effect;
  }

  int loadedCount() const override { return static_cast<int>(effects_.size()); }

 private:
  QSoundEffect* effectFor(const QString& resource) {
    QSoundEffect*& effect = effects_[resource];
    if (effect == nullptr) {
      effect = new QSoundEffect(this);
      effect->setSource(QUrl(QStringLiteral("qrc") + resource));
    }
    return effect;
  }

  QHash<QString, QSoundEffect*> effects_;  // children of this object
  QSoundEffect* current_ = nullptr;
};

}  // namespace
}  // namespace zp::client

extern "C" Q_DECL_EXPORT zp::client::SoundOutput* zp_make_sound_output(QObject* parent) {
  return new zp::client::MultimediaOutput(parent);
}
