#include "InterfaceLibraryDialog.h"

#include "chrome/CStaticLink.h"
#include "res/Branding.h"
#include "res/InterfaceLibraryTemplate.h"

namespace talvane {

namespace Id = InterfaceLibraryControlId;

InterfaceLibraryDialog::InterfaceLibraryDialog(QWidget* parent)
    : TemplateDialog(InterfaceLibraryTemplate, parent) {
    auto* notice = Control<CStaticLink>(Id::Notice);
    // The notice is longer than its control is wide: it takes the template's two lines.
    notice->setWordWrap(true);
    notice->SetTarget(QString::fromUtf8(Branding::MakerWebAddress));
    CloseOn(Id::Ok, Id::Cancel);
}

} // namespace talvane
