#include "routing/loadRoute.h"

#include "app/mydialog.h"
#include "model/uUserData.h"
#include "routing/uPlan.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

TLoadRouteForm::TLoadRouteForm(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("LoadRouteForm"));
    setWindowTitle(QStringLiteral("载入航线"));
    resize(420, 300);

    routeList = new QTreeWidget(this);
    routeList->setObjectName(QStringLiteral("routeList"));
    routeList->setRootIsDecorated(false);
    routeList->setSelectionBehavior(QAbstractItemView::SelectRows);
    routeList->setSelectionMode(QAbstractItemView::SingleSelection);
    routeList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    routeList->setHeaderLabels({ QStringLiteral("描述"), QStringLiteral("起点"), QStringLiteral("终点") });

    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("取消"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn3 = new QPushButton(QStringLiteral("删除"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn3, &QPushButton::clicked, this, &TLoadRouteForm::BitBtn3Click);
    connect(routeList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn3);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(routeList);
    layout->addLayout(buttons);

    Confirm = [this](const QString& text) {
        return MessageDialog(text, DialogButton::Yes | DialogButton::No, false, this) == ModalResult::Yes;
    };
    ShowMessage = [this](const QString& text) { ShowInfo(text, this); };
}

bool RunReported(const std::function<void()>& action, const std::function<void(const QString&)>& report)
{
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        if (report)
            report(QString::fromUtf8(e.what()));
    }
    return false;
}

TLoadRouteForm::~TLoadRouteForm() = default;

void TLoadRouteForm::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    RunReported([this] { RefreshRoutes(); }, ShowMessage);
    QDialog::showEvent(event);
}

void TLoadRouteForm::RefreshRoutes()
{
    routeList->setUpdatesEnabled(false);
    routeList->clear();
    m_routes.clear();
    try {
        if (m_galaxy)
            m_routes = userdata::LoadRoutes(m_galaxy->CustomConnection, *m_galaxy);
    } catch (...) {
        routeList->setUpdatesEnabled(true);
        throw;
    }
    for (const auto& route : m_routes) {
        const TSavedRouteRow row = SavedRouteRow(*route);
        auto* item = new QTreeWidgetItem(routeList, { row.Description, row.Start, row.End });
        item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(route.get())));
    }
    routeList->setUpdatesEnabled(true);
}

qint32 TLoadRouteForm::SaveRoute(const TRoute& route)
{
    if (!m_galaxy)
        return -1;
    return userdata::SaveRoute(m_galaxy->CustomConnection, route);
}

TRoute* TLoadRouteForm::RouteAt(int row) const
{
    return row >= 0 && row < RouteCount() ? m_routes[std::size_t(row)].get() : nullptr;
}

TRoute* TLoadRouteForm::SelectedRoute() const
{
    const QTreeWidgetItem* item = routeList->currentItem();
    if (!item || !item->isSelected())
        return nullptr;
    return RouteAt(routeList->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)));
}

void TLoadRouteForm::DeleteRoute(TRoute* route)
{
    const auto it
        = std::find_if(m_routes.begin(), m_routes.end(), [route](const auto& r) { return r.get() == route; });
    if (it == m_routes.end() || !m_galaxy)
        return;
    userdata::DeleteRoute(m_galaxy->CustomConnection, route->ID);
    const int row = int(it - m_routes.begin());
    delete routeList->takeTopLevelItem(row);
    m_routes.erase(it);
}

void TLoadRouteForm::BitBtn3Click()
{
    TRoute* route = SelectedRoute();
    if (!route)
        return;
    if (Confirm && !Confirm(QStringLiteral("do you want to permanently delete this route?")))
        return;
    RunReported([this, route] { DeleteRoute(route); }, ShowMessage);
}
