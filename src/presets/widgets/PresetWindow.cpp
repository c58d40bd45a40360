#include "presets/widgets/PresetWindow.h"

#include "presets/PresetListModel.h"
#include "presets/widgets/PresetView.h"

#include <QVBoxLayout>

namespace {

constexpr QSize kWindowSize { 900, 620 };

} // namespace

PresetWindow::PresetWindow(PresetListModel& model, EditorContext& context, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
{
    setObjectName(QStringLiteral("winPresets"));
    setWindowTitle(tr("Presets"));
    setWindowModality(Qt::WindowModal);
    resize(kWindowSize);
    m_view = new PresetView(model, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_view);
    connect(m_view, &PresetView::closeTapped, this, &QDialog::reject);
    connect(m_view, &PresetView::applyPresetTapped, this, [this](const std::shared_ptr<MetaDataObject>& preset) {
        emit applyPresetTapped(preset);
        accept();
    });
}

PresetWindow::~PresetWindow() = default;

void PresetWindow::setupUIForSelectedPresetObject(const std::shared_ptr<MetaDataObject>& preset)
{
    m_busy.emplace(m_context);
    std::shared_ptr<MetaDataObject> shown = preset;
    if (!shown && m_view->model().rowCount() > 0)
        shown = m_view->model().presetAt(0);
    m_view->setupUIForSelectedPresetObject(shown);
}

void PresetWindow::done(int result)
{
    // Every path out of the window (its buttons, Escape, the window's close) ends here.
    m_busy.reset();
    QDialog::done(result);
}
