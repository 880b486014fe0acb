#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include "view/mail_form.h"

namespace zel {

// The modal "Ayarlar" dialog: a page for the mail settings with "Deneme gönder", one for the
// monitoring's, one for the second place with its "Deneme", then "Tamam" and "Vazgeç" for all. The answers of the actions show in its last line.
class MailDialog final : public QDialog {
    Q_OBJECT
public:
    MailDialog(const MailForm& form, MailDialogCalls calls, QWidget* parent);

    QLineEdit* txtSunucu = nullptr;
    QSpinBox* udPort = nullptr;
    QComboBox* cboGuvenlik = nullptr;
    QLineEdit* txtKullanici = nullptr;
    QLineEdit* txtParola = nullptr;
    QLineEdit* txtKimden = nullptr;
    QLineEdit* txtKime = nullptr;
    QComboBox* cboNe = nullptr;
    QLineEdit* txtMetrik = nullptr;
    QLineEdit* txtIzleme = nullptr;
    QComboBox* cboUzakTur = nullptr;
    QLineEdit* txtUzakAdres = nullptr;
    QLineEdit* txtUzakKullanici = nullptr;
    QLineEdit* txtUzakParola = nullptr;
    QLineEdit* txtUzakBolge = nullptr;
    QLineEdit* txtUzakKova = nullptr;
    QLineEdit* txtUzakOnek = nullptr;
    QLineEdit* txtUzakSakla = nullptr;
    QLineEdit* txtUzakHiz = nullptr;
    QLineEdit* txtUzakKilit = nullptr;
    QComboBox* cboUzakKilitTuru = nullptr;
    QLineEdit* txtOncekiKomut = nullptr;
    QLineEdit* txtSonrakiKomut = nullptr;
    QComboBox* cboGolgeKopya = nullptr;
    QTabWidget* tabSayfa = nullptr;
    QLabel* lblCevap = nullptr;
    QPushButton* cmdDeneme = nullptr;
    QPushButton* cmdUzakDeneme = nullptr;
    QPushButton* cmdTamam = nullptr;
    QPushButton* cmdVazgec = nullptr;

    // What the dialog holds now; the password box is empty unless a new one was typed.
    MailForm current() const;

private:
    // A page's "Deneme": `call` with what the dialog holds, its answer in the last line.
    void test(const decltype(MailDialogCalls::test)& call, std::string_view waiting);
    void save();

    MailDialogCalls calls_;
    MailSecurity security_;
    int tests_ = 0;  // counts the tests: only the last one's answer is shown
};

}  // namespace zel
