#pragma once
// The exclude dialog: the type (avoid or block) and the reason of one system's exclusion.
#include "routing/uPlan.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

class TExcludeForm : public QDialog {
    Q_OBJECT
public:
    explicit TExcludeForm(QWidget* parent = nullptr);

    // Fills the dialog for a system: its name, the preset type and reason.
    void Setup(const QString& systemName, const TExclusionPreset& preset);
    TExclusionType Type() const;
    QString Reason() const;

    QLineEdit* edSystem;
    QComboBox* edType; // 0 avoid, 1 block
    QLineEdit* edDescription;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
