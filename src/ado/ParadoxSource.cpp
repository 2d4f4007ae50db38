#include "ParadoxSource.h"

#include <QFile>
#include <QFileInfo>

#include "DataSourceError.h"
#include "paradox/Table.h"

namespace ado {

namespace {

class ParadoxCursor : public Cursor {
  public:
    ParadoxCursor(const std::string& path, px::Table::Reading reading) : table_(path, reading) {
        for (const px::Field& field : table_.fields())
            fields_.push_back({QString::fromStdString(field.name), field.adoType(), field});
    }

    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long long rowCount() const override { return static_cast<long long>(table_.rowCount()); }
    bool fetch(std::vector<Variant>& row) override { return table_.next(row); }
    KeyInfo keyInfo() const override {
        return {table_.keyFieldCount(), static_cast<long long>(table_.autoIncrementValue())};
    }
    const px::SalvageReport* salvaged() const override {
        return table_.reading() == px::Table::Reading::Salvage ? &table_.salvaged() : nullptr;
    }

  private:
    px::Table table_;
    std::vector<FieldInfo> fields_;
};

}  // namespace

ParadoxSource::ParadoxSource(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        throw DataSourceError("The Paradox folder '" + folder.toStdString() +
                              "' does not exist or is not a folder.");
}

std::unique_ptr<Cursor> ParadoxSource::openTable(const QString& file) const {
    return std::make_unique<ParadoxCursor>(
        QFile::encodeName(file).toStdString(),
        salvaging_ ? px::Table::Reading::Salvage : px::Table::Reading::Strict);
}

}  // namespace ado
