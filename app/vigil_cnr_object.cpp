#include "app/vigil_cnr_object.h"

#include <ctime>

#include "app/main_window_event.h"
#include "app/status_texts.h"
#include "app/vigil_icons.h"
#include "core/program_settings.h"
#include "core/vigil.h"
#include "platform/qt/display_text.h"
#include "platform/qt/window_event.h"
#include "platform/time_convert.h"

namespace {

// The asctime form without its line end; the caller holds a TimeConversionLock.
QString timeText(time_t when, const char* never) {
    if (when < 1) return QString::fromLatin1(never);
    std::tm record{};
    if (!localTime(when, record)) return QString();
    std::string text = ascTime(record);
    const size_t newline = text.find('\n');
    if (newline != std::string::npos) text.resize(newline);
    return QString::fromLatin1(text.c_str());
}

}  // namespace

VigilCnrObject::VigilCnrObject(std::shared_ptr<Vigil> vigil, int iconId, int position)
    : vigil_(std::move(vigil)), position_(position) {
    setText(DescriptionColumn, displayText(vigil_->description()));
    setIconId(iconId);
    refresh();
}

void VigilCnrObject::setIconId(int iconId) {
    if (iconId == iconId_) return;
    iconId_ = iconId;
    setIcon(DescriptionColumn, vigilIcon(iconId));
}

void VigilCnrObject::refresh() {
    const int status = vigil_->status();
    setText(StatusColumn, QString::fromLatin1(statusText(status).text()));

    QString checked, changed;
    {
        const TimeConversionLock hold;
        checked = timeText(vigil_->lastChecked(), "Not checked yet");
        changed = timeText(vigil_->lastChanged(), "No changes yet");
    }
    setText(CheckedColumn, checked);
    setText(ChangedColumn, changed);

    const QString description = displayText(vigil_->description());
    if (description != text(DescriptionColumn)) setText(DescriptionColumn, description);

    if (ProgramSettings::snapshot().statusIcons) setIconId(statusIcon(status));
}

void VigilCnrObject::open() const {
    postWindowEvent(MainWindowEvent::View);
}
