#include "AboutDialog.h"

#include "../chrome/CStaticLink.h"
#include "../res/AboutDialogTemplate.h"
#include "../res/Branding.h"
#include "../ui/DialogBuilder.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace Id = AboutControlId;

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(AboutDialogTemplate.caption));
    setFont(DialogBuilder::DialogFont(AboutDialogTemplate.fontPointSize));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* client = new QWidget(this);
    layout->addWidget(client);
    client->setFixedSize(DialogBuilder::ClientSize(AboutDialogTemplate, font()));
    controls = DialogBuilder::Build(AboutDialogTemplate, client);

    // The visible texts name only the host and the address; the links open the full targets.
    static_cast<CStaticLink*>(Control(Id::WebLink))
        ->SetTarget(QString::fromUtf8(Branding::MakerWebAddress));
    static_cast<CStaticLink*>(Control(Id::MailLink))
        ->SetTarget(QStringLiteral("mailto:") + QString::fromUtf8(Branding::AuthorEmail));
    connect(static_cast<QPushButton*>(Control(Id::Ok)), &QPushButton::clicked, this,
            &QDialog::accept);
    Control(Id::Ok)->setFocus();
}

QWidget* AboutDialog::Control(int controlId) const {
    return controls.Find(controlId);
}
