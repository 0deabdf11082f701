#include "catalogue/DelimitedFields.h"

#include "app/MessageBox.h"

#include <QLabel>
#include <QLineEdit>

bool FieldsFreeOfDelimiter(std::initializer_list<DelimitedField> fields, const QString& delimiter, QWidget* parent)
{
    for (const auto& [label, edit] : fields) {
        const qsizetype at = edit->text().indexOf(delimiter);
        if (at < 0)
            continue;
        ShowMessage(MessageType::Error,
                    QStringLiteral("Поле '%1' не может содержать символ '%2': этим символом разделяются поля записи в файле.")
                        .arg(label->text(), delimiter),
                    QMessageBox::Cancel, parent);
        edit->setFocus(Qt::OtherFocusReason);
        edit->setSelection(static_cast<int>(at), static_cast<int>(delimiter.size()));
        return false;
    }
    return true;
}
