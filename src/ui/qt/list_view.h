// The Qt binding's list view (a tree view without branches over a table model that hands Qt
// the rows as they are drawn), made by the factory. Internal to the binding.
#pragma once

#include <memory>

#include "ui/elements.h"

class QWidget;

namespace qtui {

class TApp;

std::unique_ptr<TListView> CreateQtListView(TApp& app, QWidget* parent, const TElementSpec& design);

}  // namespace qtui
