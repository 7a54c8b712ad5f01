// scanner-utility-help: the program's help viewer. Shows one page of the help folder
// (an anchor after '#' scrolls to that place), lets the reader follow the links between
// pages, and closes when the program asks it to through its socket.
//
//   scanner-utility-help [--id ID] PAGE[#ANCHOR]

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QIcon>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMainWindow>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>

#include "app/HelpLauncher.h"
#include "app/HelpTarget.h"
#include "settings/ProductData.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("scanner-utility-help"));
    QApplication::setWindowIcon(QIcon(QString::fromStdString(settings::SkinImageFolder() + "icon.png")));

    QString id;
    QString target;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--id") && i + 1 < args.size()) {
            id = args[++i];
        } else {
            target = args[i];
        }
    }
    const std::string helpFolder = settings::HelpFolder();
    app::HelpPage page = app::ResolveHelpTarget(
        target.isEmpty() ? std::string(app::kHelpContentsPage) : target.toStdString(), helpFolder);
    if (page.file.empty() || !QFileInfo::exists(QString::fromStdString(page.file))) return 2;

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Scanner Utility Help"));
    auto* browser = new QTextBrowser(&window);
    browser->setOpenExternalLinks(true);
    browser->setSearchPaths({QString::fromStdString(helpFolder)});
    window.setCentralWidget(browser);

    QToolBar* bar = window.addToolBar(QStringLiteral("Navigation"));
    bar->setMovable(false);
    QAction* back = bar->addAction(window.style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Back"), browser,
                                   &QTextBrowser::backward);
    QAction* forward = bar->addAction(window.style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Forward"),
                                      browser, &QTextBrowser::forward);
    bar->addAction(window.style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Contents"), browser, [&] {
        browser->setSource(QUrl::fromLocalFile(QString::fromStdString(helpFolder + app::kHelpContentsPage)));
    });
    back->setEnabled(false);
    forward->setEnabled(false);
    QObject::connect(browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    QObject::connect(browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    QObject::connect(browser, &QTextBrowser::sourceChanged, &window, [&] {
        window.setWindowTitle(browser->documentTitle() + QStringLiteral(" - Scanner Utility Help"));
    });

    QUrl url = QUrl::fromLocalFile(QString::fromStdString(page.file));
    if (!page.anchor.empty()) url.setFragment(QString::fromStdString(page.anchor));
    browser->setSource(url);

    // The program that started us closes us through this socket before it opens the
    // next page.
    QLocalServer server;
    if (!id.isEmpty()) {
        const QString name = QString::fromStdString(app::HelpViewerSocket(id.toStdString()));
        QLocalServer::removeServer(name);
        server.setSocketOptions(QLocalServer::UserAccessOption);
        server.listen(name);
        QObject::connect(&server, &QLocalServer::newConnection, &server, [&] {
            while (QLocalSocket* client = server.nextPendingConnection()) {
                QObject::connect(client, &QLocalSocket::readyRead, client, [client, &window] {
                    if (client->readAll().startsWith("close")) window.close();
                });
                QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            }
        });
    }

    window.resize(720, 560);
    window.show();
    return qtApp.exec();
}
