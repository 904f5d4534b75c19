#include "InterfaceLibraryDialog.h"

#include "../chrome/CStaticLink.h"
#include "../res/Branding.h"
#include "../res/InterfaceLibraryTemplate.h"
#include "../ui/DialogBuilder.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace Id = InterfaceLibraryControlId;

InterfaceLibraryDialog::InterfaceLibraryDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(InterfaceLibraryTemplate.caption));
    setFont(DialogBuilder::DialogFont(InterfaceLibraryTemplate.fontPointSize));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* client = new QWidget(this);
    layout->addWidget(client);
    client->setFixedSize(DialogBuilder::ClientSize(InterfaceLibraryTemplate, font()));
    controls = DialogBuilder::Build(InterfaceLibraryTemplate, client);

    auto* notice = static_cast<CStaticLink*>(Control(Id::Notice));
    // The notice is longer than its control is wide: it takes the template's two lines.
    notice->setWordWrap(true);
    notice->SetTarget(QString::fromUtf8(Branding::MakerWebAddress));
    connect(static_cast<QPushButton*>(Control(Id::Ok)), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(static_cast<QPushButton*>(Control(Id::Cancel)), &QPushButton::clicked, this,
            &QDialog::reject);
}

QWidget* InterfaceLibraryDialog::Control(int controlId) const {
    return controls.Find(controlId);
}
