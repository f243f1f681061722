#include "list_view.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QTreeView>

#include "qt_binding.h"
#include "qt_text.h"

namespace qtui {
namespace {

// The rows as the element holds them; Qt asks for the cells it draws, so thousands of rows cost
// nothing until they are seen.
class TRowsModel : public QAbstractTableModel {
 public:
  explicit TRowsModel(std::vector<TListColumn> columns) : columns_(std::move(columns)) {}
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const auto& row = rows_[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<std::size_t>(index.column());
    if (role == Qt::DisplayRole) return column < row.size() ? Q(row[column]) : QString();
    if (role == Qt::TextAlignmentRole) return AlignmentOf(columns_[column].Alignment);
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal) return {};
    const auto& c = columns_[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return Q(c.Title);
    if (role == Qt::TextAlignmentRole) return AlignmentOf(c.Alignment);
    return {};
  }
  void SetRows(std::vector<std::vector<std::string>> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
  }
  const std::vector<std::vector<std::string>>& Rows() const { return rows_; }

 private:
  static QVariant AlignmentOf(TAlignment a) {
    const Qt::Alignment h = a == taRightJustify ? Qt::AlignRight
                            : a == taCenter     ? Qt::AlignHCenter
                                                : Qt::AlignLeft;
    return QVariant::fromValue(h | Qt::AlignVCenter);
  }
  std::vector<TListColumn> columns_;
  std::vector<std::vector<std::string>> rows_;
};

class TQtListView : public TListView {
 public:
  TQtListView(TApp& app, QWidget* parent, const TElementSpec& design)
      : app_(app), bounds_(design.Bounds), model_(design.Columns), view_(new QTreeView(parent)) {
    view_->setObjectName(Q(design.Name));
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);
    view_->setItemsExpandable(false);
    view_->setAllColumnsShowFocus(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setModel(&model_);
    view_->header()->setStretchLastSection(false);
    view_->header()->setSectionsMovable(false);
    for (std::size_t i = 0; i < design.Columns.size(); ++i)
      view_->setColumnWidth(static_cast<int>(i), app_.Scaled(design.Columns[i].Width));
    SetBounds(design.Bounds);
    view_->setVisible(design.Visible);
    view_->setEnabled(design.Enabled);
    QObject::connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged,
                     [this](const QModelIndex&, const QModelIndex&) {
                       if (!setting_ && OnChange) app_.Guard([this] { OnChange(this); });
                     });
    QObject::connect(view_, &QAbstractItemView::doubleClicked, [this](const QModelIndex& i) {
      if (i.isValid() && OnDblClick) app_.Guard([this] { OnDblClick(this); });
    });
  }
  void SetVisible(bool value) override { view_->setVisible(value); }
  bool Visible() const override { return !view_->isHidden(); }
  void SetEnabled(bool value) override { view_->setEnabled(value); }
  bool Enabled() const override { return view_->isEnabled(); }
  TBounds Bounds() const override { return bounds_; }
  void SetBounds(const TBounds& b) override {
    bounds_ = b;
    view_->setGeometry(app_.Scaled(b.Left), app_.Scaled(b.Top), app_.Scaled(b.Width),
                       app_.Scaled(b.Height));
  }
  void Repaint() override { view_->update(); }

  void SetRows(std::vector<std::vector<std::string>> rows) override {
    setting_ = true;
    model_.SetRows(std::move(rows));
    setting_ = false;
  }
  int RowCount() const override { return static_cast<int>(model_.Rows().size()); }
  std::vector<std::string> Row(int index) const override {
    return model_.Rows().at(static_cast<std::size_t>(index));
  }
  void SetItemIndex(int index) override {
    setting_ = true;
    if (index >= 0 && index < RowCount()) {
      const QModelIndex i = model_.index(index, 0);
      view_->selectionModel()->setCurrentIndex(
          i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      view_->scrollTo(i);
    } else {
      view_->selectionModel()->clear();
    }
    setting_ = false;
  }
  int ItemIndex() const override {
    const QModelIndex i = view_->selectionModel()->currentIndex();
    return i.isValid() && view_->selectionModel()->isRowSelected(i.row(), {}) ? i.row() : -1;
  }
  void SetFocus() override { view_->setFocus(); }

 private:
  TApp& app_;
  TBounds bounds_;
  TRowsModel model_;  // before the view, which refers to it until its parent deletes it
  QTreeView* view_;   // owned by its parent widget
  bool setting_ = false;
};

}  // namespace

std::unique_ptr<TListView> CreateQtListView(TApp& app, QWidget* parent,
                                            const TElementSpec& design) {
  return std::make_unique<TQtListView>(app, parent, design);
}

}  // namespace qtui
