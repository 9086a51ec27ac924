#include "routing/Exclude.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TExcludeForm::TExcludeForm(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ExcludeForm"));
    setWindowTitle(QStringLiteral("排除星系"));

    edSystem = new QLineEdit(this);
    edSystem->setObjectName(QStringLiteral("edSystem"));
    edSystem->setReadOnly(true);
    edType = new QComboBox(this);
    edType->setObjectName(QStringLiteral("edType"));
    edType->addItems({ QStringLiteral("避免"), QStringLiteral("排除") });
    edDescription = new QLineEdit(this);
    edDescription->setObjectName(QStringLiteral("edDescription"));

    auto* buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("星系"), edSystem);
    form->addRow(QStringLiteral("类型"), edType);
    form->addRow(QStringLiteral("原因"), edDescription);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TExcludeForm::Setup(const QString& systemName, const TExclusionPreset& preset)
{
    edSystem->setText(systemName);
    edType->setCurrentIndex(int(preset.Type));
    edDescription->setText(preset.Reason);
}

TExclusionType TExcludeForm::Type() const
{
    return edType->currentIndex() == int(TExclusionType::Block) ? TExclusionType::Block
                                                                : TExclusionType::Avoid;
}

QString TExcludeForm::Reason() const
{
    return edDescription->text();
}
