#pragma once
#include <functional>
#include <memory>

#include "core/settings_records.h"

class Vigil;
class WebVigil;
class FtpVigil;
class GopherVigil;

// The tasks that change the Vigil list or a Vigil for the user. Each runs on the
// thread that calls it: the commands start the add tasks, Reset Connection and
// the set-status-all task on threads of their own, and call the others on the
// window thread. Every change of the list is made under its lock.
namespace VigilTasks {

// A new Vigil from the record of a New dialog (or a pasted URL): status line
// "Adding a new ... site...", the Vigil appended, its row announced (event 1038),
// status "No change" reported, status line blank. No check is started. The
// record is the task's own. The new Vigil is returned.
std::shared_ptr<WebVigil> addWebVigil(WebSettingsRecord record);
std::shared_ptr<FtpVigil> addFtpVigil(FtpSettingsRecord record);
std::shared_ptr<GopherVigil> addGopherVigil(GopherSettingsRecord record);

// Appends at the end of vigilList; the Vigil's position there.
int appendVigil(const std::shared_ptr<Vigil>& vigil);

// Edit, on the window thread, which has taken the Vigil's own lock: the kind's
// settings dialog over a record pre-filled from the Vigil, the changed fields
// applied after OK, then event 1040 so that the window thread releases the
// lock. A Vigil that is gone (null, or no longer listed) gets nothing, not even 1040.
void editSettings(const std::shared_ptr<Vigil>& vigil);

// Reset Connection, while the window thread holds the Vigil's lock: the host is
// set again and resolved anew, the pooled endpoints of the host take the new
// address, and a Vigil that showed "Could not resolve host name." is watched
// again once its host resolves. Then the row is refreshed and 1040 is posted.
void resetConnection(const std::shared_ptr<Vigil>& vigil);

// Reset All (1033), Stop Watching All (1042), Start Watching All (1043); 0
// reports every Vigil's own status again. A Vigil whose lock is busy (its check
// runs) is passed over.
void setStatusAll(int status);

// Delete, after the window thread took the Vigil's lock: the Vigil's stop flag
// is set, it leaves vigilList and its current cache file is retired. A check that
// still holds the Vigil ends early; nothing is killed. The caller removes the
// row and releases the lock it holds. The Vigil removed, or null.
std::shared_ptr<Vigil> removeVigil(int identifier);

// The Sort commands (942 description, 943 last checked, 1015 last changed,
// 944 status, 982 kind) put vigilList in the order the container takes; any
// other id changes nothing.
void sortVigils(int commandId);

// Posts 1040 for a Vigil whose lock the window thread took for this task. The
// Vigil is kept until the window thread releases the lock, even if it is
// deleted meanwhile.
void postLockRelease(const std::shared_ptr<Vigil>& vigil);
// For the window thread on event 1040: the Vigil whose lock to release, or null.
std::shared_ptr<Vigil> takeLockToRelease(int identifier);

}  // namespace VigilTasks

// The settings dialogs that Edit shows, one per kind: given the Vigil and the
// pre-filled record, they show the dialog modally at the
// kind's stored place, store its place back and give its result (1083 OK,
// 1084 Cancel), the record filled after OK. Unset: Edit ends as after Cancel.
struct EditDialogs {
    static constexpr int Ok = 1083;
    static constexpr int Cancel = 1084;
    std::function<int(const WebVigil& vigil, WebSettingsRecord& record)> web;
    std::function<int(const FtpVigil& vigil, FtpSettingsRecord& record)> ftp;
    std::function<int(const GopherVigil& vigil, GopherSettingsRecord& record)> gopher;
};
EditDialogs& editDialogs();
