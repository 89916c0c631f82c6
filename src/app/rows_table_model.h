// RowsTableModel is what one of the window's list views displays: the shown
// start of every row a ControlModel holds, as its take_changes batches hand
// them over (new rows go in with one insertion per batch), converted to Qt
// text only for the rows the view asks for. Showing a row never takes a lock
// the workers use. Ticking a row's check box in the view writes the tick to
// the ControlModel, which stays the one place workers read.
//
// Thread safety: GUI thread only, like every Qt item model.
#ifndef NOVEL_APP_ROWS_TABLE_MODEL_H_
#define NOVEL_APP_ROWS_TABLE_MODEL_H_

#include <QAbstractTableModel>
#include <QString>
#include <optional>
#include <vector>

#include "app/control_model.h"

class RowsTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The headers are the captions of column 0 and column 1; only a checkable
  // model shows a check box in front of each row.
  RowsTableModel(ControlModel& controls, bool checkable, QString number_header, QString text_header,
                 QObject* parent);

  // Takes the rows out of `update`.
  void apply(ListUpdate& update);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  struct ShownText {
    QString number;
    QString text;
  };

  const ShownText& shown(int row) const;

  ControlModel& controls_;
  const bool checkable_;
  const QString headers_[2];
  std::vector<DisplayRow> rows_;
  // Rows converted for display so far; empty entries are converted when shown.
  mutable std::vector<std::optional<ShownText>> cache_;
};

#endif  // NOVEL_APP_ROWS_TABLE_MODEL_H_
