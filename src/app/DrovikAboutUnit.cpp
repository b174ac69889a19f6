#include "DrovikAboutUnit.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

static void InitAboutResources() {
    // The picture lives in the static library's resources; make sure they
    // are linked in and registered.
    Q_INIT_RESOURCE(DrovikAbout);
}

QPixmap ProgramPicture() {
    InitAboutResources();
    return QPixmap(QStringLiteral(":/app/DrovikAbout.xpm"));
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(298, 213);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 281, 161);
    // Lowered outside, raised inside.
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    auto* inner = new QFrame(Panel1);
    inner->setGeometry(1, 1, 279, 159);
    inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
    inner->setLineWidth(1);
    inner->setAttribute(Qt::WA_TransparentForMouseEvents);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 64, 64);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(ProgramPicture());

    ProductName = new QLabel(QStringLiteral("Drovik"), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont bold = font();
    bold.setBold(true);
    ProductName->setFont(bold);
    ProductName->move(118, 22);
    ProductName->adjustSize();

    Version = new QLabel(QStringLiteral("Version 4.1.1.12"), Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    Version->move(115, 50);
    Version->adjustSize();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
