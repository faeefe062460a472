#include "ui/featurecontext.h"

#include "core/runner/toolcheck.h"
#include "ui/dialogs/msgform.h"

namespace fulmaro {

bool FeatureContext::checkTool(const QString &fileName) const
{
    QString message;
    if (verifyTool(tools, fileName, &message))
        return true;
    if (!message.isEmpty())
        showMsg(MsgDlgType::mtError, message);
    return false;
}

} // namespace fulmaro
