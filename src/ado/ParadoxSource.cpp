#include "ParadoxSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "DataSourceError.h"
#include "paradox/File.h"
#include "paradox/Table.h"

namespace ado {

namespace {

class ParadoxCursor : public Cursor {
  public:
    explicit ParadoxCursor(const std::string& path) : table_(path) {
        for (const px::Field& field : table_.fields())
            fields_.push_back({QString::fromStdString(field.name), field.adoType()});
    }

    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long long rowCount() const override { return static_cast<long long>(table_.rowCount()); }
    bool fetch(std::vector<Variant>& row) override { return table_.next(row); }

  private:
    px::Table table_;
    std::vector<FieldInfo> fields_;
};

}  // namespace

ParadoxSource::ParadoxSource(const QString& folder) : folder_(folder) {
    if (!QFileInfo(folder).isDir())
        throw DataSourceError("The Paradox folder '" + folder.toStdString() +
                              "' does not exist or is not a folder.");
}

QString ParadoxSource::selectedTable(const QString& sql) {
    static const QString kPrefix = QStringLiteral("SELECT * FROM \"");
    if (!sql.startsWith(kPrefix, Qt::CaseInsensitive) || !sql.endsWith(QLatin1Char('"')) ||
        sql.size() <= kPrefix.size())
        throw DataSourceError("A Paradox folder can only be read: '" + sql.toStdString() +
                              "' is not of the form SELECT * FROM \"TABLE\".");
    QString name = sql.mid(kPrefix.size(), sql.size() - kPrefix.size() - 1);
    // Inside the quotes a doubled quote stands for one; a lone one ends the name early.
    QString unquoted;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == QLatin1Char('"')) {
            if (i + 1 >= name.size() || name[i + 1] != QLatin1Char('"'))
                throw DataSourceError("The table name in '" + sql.toStdString() +
                                      "' has an unpaired double quote.");
            ++i;
        }
        unquoted += name[i];
    }
    return unquoted;
}

QString ParadoxSource::tableFile(const QString& name) const {
    if (name.contains(QLatin1Char('/'))) {
        const QString path = QDir::isAbsolutePath(name) ? name : folder_ + QLatin1Char('/') + name;
        return QFileInfo(path).isFile() ? path : QString();
    }
    const auto found =
        px::findIgnoringCase(QFile::encodeName(folder_).toStdString(),
                             QFile::encodeName(name + QStringLiteral(".db")).toStdString());
    return found ? QFile::decodeName(QByteArray::fromStdString(*found)) : QString();
}

std::unique_ptr<Cursor> ParadoxSource::select(const QString& sql) const {
    const QString name = selectedTable(sql);
    const QString file = tableFile(name);
    if (file.isEmpty())
        throw DataSourceError("The Paradox table '" + name.toStdString() +
                              "' was not found in the folder '" + folder_.toStdString() + "'.");
    return std::make_unique<ParadoxCursor>(QFile::encodeName(file).toStdString());
}

}  // namespace ado
