#include "windowsetup.h"

#include "app/appstate.h"
#include "common/appfolders.h"
#include "media/phononbackend.h"
#include "ui/notice.h"

#include <QTemporaryDir>

bool prepareWindowTests(const QTemporaryDir &appDir, QStringList *messages)
{
    selectPhononBackend();
    Notice::setTestHook([messages](const QString &text) {
        if (messages)
            messages->append(text);
        return QMessageBox::Ok;
    });
    useAppFolder(appDir.path());
    return appDir.isValid();
}
