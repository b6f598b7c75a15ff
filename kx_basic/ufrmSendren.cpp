#include "ufrmSendren.h"

#include "uCallModule.h"

TfrmSendren::TfrmSendren(QWidget* owner)
    : TfrmMasterList(owner)
{
    AddColumn(QStringLiteral("renid"), TGridEditor::Text, true);
    for (const char* field : {"sender_name", "sender_address", "sender_zip", "sender_mobile", "sender_phone", "memo1",
                              "memo2", "memo3"})
        AddColumn(QString::fromLatin1(field));
}

KX_REGISTER_CLASS(TfrmSendren)
