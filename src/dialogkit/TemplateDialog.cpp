#include "TemplateDialog.h"

#include "DialogBuilder.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace talvane {

TemplateDialog::TemplateDialog(const DialogTemplate& dialog, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(dialog.caption));
    setFont(DialogBuilder::DialogFont(dialog.fontPointSize));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The frame fits the template: the user cannot resize it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* client = new QWidget(this);
    layout->addWidget(client);
    client->setFixedSize(DialogBuilder::ClientSize(dialog, font()));
    controls = DialogBuilder::Build(dialog, client);
}

void TemplateDialog::CloseOn(int acceptId, int rejectId) {
    connect(Control<QPushButton>(acceptId), &QPushButton::clicked, this, &QDialog::accept);
    if (rejectId != DialogTemplate::NoId)
        connect(Control<QPushButton>(rejectId), &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace talvane
