#include "AboutDialog.h"

#include "chrome/CStaticLink.h"
#include "res/AboutDialogTemplate.h"
#include "res/Branding.h"

namespace talvane {

namespace Id = AboutControlId;

AboutDialog::AboutDialog(QWidget* parent) : TemplateDialog(AboutDialogTemplate, parent) {
    // The visible texts name only the host and the address; the links open the full targets.
    Control<CStaticLink>(Id::WebLink)->SetTarget(QString::fromUtf8(Branding::MakerWebAddress));
    Control<CStaticLink>(Id::MailLink)
        ->SetTarget(QStringLiteral("mailto:") + QString::fromUtf8(Branding::AuthorEmail));
    CloseOn(Id::Ok);
    Control(Id::Ok)->setFocus();
}

} // namespace talvane
