#include "qt/mail_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

namespace zel {
namespace {

QString q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MailDialog::MailDialog(const MailForm& form, MailDialogCalls calls, QWidget* parent)
    : QDialog(parent), calls_(std::move(calls)), security_(form.values.security) {
    setObjectName(QStringLiteral("frmEposta"));
    setWindowTitle(q(kSettingsDialogTitle));
    setModal(true);
    auto line = [this](const char* name, const std::string& text) {
        auto* box = new QLineEdit(q(text), this);
        box->setObjectName(QString::fromLatin1(name));
        box->setMinimumWidth(280);
        return box;
    };
    txtSunucu = line("txtSunucu", form.values.server);
    udPort = new QSpinBox(this);
    udPort->setObjectName(QStringLiteral("udPort"));
    udPort->setRange(1, 65535);
    udPort->setValue(form.values.port);
    cboGuvenlik = new QComboBox(this);
    cboGuvenlik->setObjectName(QStringLiteral("cboGuvenlik"));
    for (const auto& [security, label] : kMailSecurityChoices) cboGuvenlik->addItem(q(label));
    cboGuvenlik->setCurrentIndex(mailSecurityIndex(form.values.security));
    txtKullanici = line("txtKullanici", form.values.user);
    // The stored password never comes back into the box; the box says whether there is one.
    txtParola = line("txtParola", {});
    txtParola->setEchoMode(QLineEdit::Password);
    if (form.passwordSet) txtParola->setPlaceholderText(q(kPasswordKept));
    txtKimden = line("txtKimden", form.values.from);
    txtKime = line("txtKime", form.values.to);
    cboNe = new QComboBox(this);
    cboNe->setObjectName(QStringLiteral("cboNe"));
    for (const auto& [what, label] : kMailWhatChoices) cboNe->addItem(q(label));
    cboNe->setCurrentIndex(mailWhatIndex(form.values.what));

    txtMetrik = line("txtMetrik", form.watch.metricsFolder);
    txtIzleme = line("txtIzleme", form.watch.pingAddress);

    tabSayfa = new QTabWidget(this);
    tabSayfa->setObjectName(QStringLiteral("tabSayfa"));
    auto* mailPage = new QWidget;
    auto* fields = new QFormLayout(mailPage);
    QWidget* boxes[] = {txtSunucu, udPort, cboGuvenlik, txtKullanici, txtParola, txtKimden, txtKime, cboNe};
    for (std::size_t i = 0; i < std::size(boxes); ++i) fields->addRow(q(kMailFieldLabels[i]), boxes[i]);
    tabSayfa->addTab(mailPage, q(kMailPage));
    auto* watchPage = new QWidget;
    auto* watchFields = new QFormLayout(watchPage);
    watchFields->addRow(q(kWatchFieldLabels[0]), txtMetrik);
    watchFields->addRow(q(kWatchFieldLabels[1]), txtIzleme);
    tabSayfa->addTab(watchPage, q(kWatchPage));

    const RemoteSettings& r = form.remote;
    auto list = [this](const char* name, const auto& choices, int index) {
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(name));
        for (const auto& [value, label] : choices) box->addItem(q(label));
        box->setCurrentIndex(index);
        return box;
    };
    cboUzakTur = list("cboUzakTur", kRemoteKindChoices, remoteKindIndex(r.kind));
    txtUzakAdres = line("txtUzakAdres", r.address);
    txtUzakKullanici = line("txtUzakKullanici", r.user);
    txtUzakParola = line("txtUzakParola", {});
    txtUzakParola->setEchoMode(QLineEdit::Password);
    if (form.secretSet) txtUzakParola->setPlaceholderText(q(kPasswordKept));
    txtUzakBolge = line("txtUzakBolge", r.region);
    txtUzakKova = line("txtUzakKova", r.bucket);
    txtUzakOnek = line("txtUzakOnek", r.prefix);
    txtUzakSakla = line("txtUzakSakla", r.keep ? std::to_string(*r.keep) : std::string());
    txtUzakHiz = line("txtUzakHiz", std::to_string(r.speedLimitKb));
    txtUzakKilit = line("txtUzakKilit", std::to_string(r.lockDays));
    cboUzakKilitTuru = list("cboUzakKilitTuru", kLockModeChoices, lockModeIndex(r.lockMode));
    auto* remotePage = new QWidget;
    auto* remoteFields = new QFormLayout(remotePage);
    QWidget* remoteBoxes[] = {cboUzakTur,  txtUzakAdres, txtUzakKullanici, txtUzakParola,
                              txtUzakBolge, txtUzakKova,  txtUzakOnek,      txtUzakSakla,
                              txtUzakHiz,   txtUzakKilit, cboUzakKilitTuru};
    for (std::size_t i = 0; i < std::size(remoteBoxes); ++i) remoteFields->addRow(q(kRemoteFieldLabels[i]), remoteBoxes[i]);
    tabSayfa->addTab(remotePage, q(kRemotePage));

    txtOncekiKomut = line("txtOncekiKomut", form.commands.before);
    txtSonrakiKomut = line("txtSonrakiKomut", form.commands.after);
    cboGolgeKopya = list("cboGolgeKopya", kShadowCopyChoices, shadowCopyIndex(form.commands.shadowCopy));
    auto* commandsPage = new QWidget;
    auto* commandFields = new QFormLayout(commandsPage);
    QWidget* commandBoxes[] = {txtOncekiKomut, txtSonrakiKomut, cboGolgeKopya};
    for (std::size_t i = 0; i < std::size(commandBoxes); ++i) commandFields->addRow(q(kCommandFieldLabels[i]), commandBoxes[i]);
    tabSayfa->addTab(commandsPage, q(kCommandsPage));

    lblCevap = new QLabel(this);
    lblCevap->setObjectName(QStringLiteral("lblCevap"));
    lblCevap->setWordWrap(true);
    lblCevap->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblCevap->setMinimumHeight(40);

    cmdDeneme = new QPushButton(q(kMailTestButton), this);
    cmdDeneme->setObjectName(QStringLiteral("cmdDeneme"));
    cmdUzakDeneme = new QPushButton(q(kRemoteTestButton), this);
    cmdUzakDeneme->setObjectName(QStringLiteral("cmdUzakDeneme"));
    cmdUzakDeneme->setVisible(false);
    cmdTamam = new QPushButton(q(kMailOk), this);
    cmdTamam->setObjectName(QStringLiteral("cmdTamam"));
    cmdTamam->setDefault(true);
    cmdVazgec = new QPushButton(q(kMailCancel), this);
    cmdVazgec->setObjectName(QStringLiteral("cmdVazgec"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDeneme);
    buttons->addWidget(cmdUzakDeneme);
    buttons->addStretch();
    buttons->addWidget(cmdTamam);
    buttons->addWidget(cmdVazgec);

    auto* all = new QVBoxLayout(this);
    all->addWidget(tabSayfa);
    all->addWidget(lblCevap);
    all->addLayout(buttons);

    connect(cboGuvenlik, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        const MailSecurity next = kMailSecurityChoices[static_cast<std::size_t>(index)].first;
        udPort->setValue(portAfterSecurityChange(udPort->value(), security_, next));
        security_ = next;
    });
    connect(cmdDeneme, &QPushButton::clicked, this, [this] { test(calls_.test, kMailSending); });
    connect(cmdUzakDeneme, &QPushButton::clicked, this, [this] { test(calls_.trial, kRemoteTesting); });
    // Each page's "Deneme" belongs to it.
    connect(tabSayfa, &QTabWidget::currentChanged, this, [this, remotePage](int) {
        cmdDeneme->setVisible(tabSayfa->currentIndex() == 0);
        cmdUzakDeneme->setVisible(tabSayfa->currentWidget() == remotePage);
    });
    connect(cmdTamam, &QPushButton::clicked, this, [this] { save(); });
    connect(cmdVazgec, &QPushButton::clicked, this, &QDialog::reject);
}

MailForm MailDialog::current() const {
    return mailFormOf({txtSunucu->text().toStdString(), udPort->value(), cboGuvenlik->currentIndex(),
                       txtKullanici->text().toStdString(), txtParola->text().toStdString(),
                       txtKimden->text().toStdString(), txtKime->text().toStdString(), cboNe->currentIndex(),
                       txtMetrik->text().toStdString(), txtIzleme->text().toStdString(),
                       cboUzakTur->currentIndex(), txtUzakAdres->text().toStdString(),
                       txtUzakKullanici->text().toStdString(), txtUzakParola->text().toStdString(),
                       txtUzakBolge->text().toStdString(), txtUzakKova->text().toStdString(),
                       txtUzakOnek->text().toStdString(), txtUzakSakla->text().toStdString(),
                       txtUzakHiz->text().toStdString(), txtUzakKilit->text().toStdString(),
                       cboUzakKilitTuru->currentIndex(), txtOncekiKomut->text().toStdString(),
                       txtSonrakiKomut->text().toStdString(), cboGolgeKopya->currentIndex()});
}

void MailDialog::test(const decltype(MailDialogCalls::test)& call, std::string_view waiting) {
    const int test = ++tests_;
    lblCevap->setText(q(waiting));
    // The answer comes on the window's thread, perhaps after the dialog has gone.
    QPointer<MailDialog> self(this);
    call(current(), [self, test](const std::string& answer) {
        if (self && test == self->tests_) self->lblCevap->setText(q(answer));
    });
}

void MailDialog::save() {
    const std::string why = calls_.save(current());
    if (why.empty()) return accept();
    lblCevap->setText(q(why));
}

}  // namespace zel
