#include "app/FolderPicker.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

#include "platform/FileSystem.h"
#include "project/FolderUtils.h"

namespace {

// Hides everything beside the chosen root, so that the root itself appears as
// the one top folder of the tree and can be chosen.
class RootOnlyFilter final : public QSortFilterProxyModel {
  public:
    RootOnlyFilter(QFileSystemModel* source, QString root, QObject* parent)
        : QSortFilterProxyModel(parent), files_(source), root_(std::move(root)) {
        setSourceModel(source);
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QString path = files_->filePath(files_->index(row, 0, parent));
        const QString rootWithSeparator = root_.endsWith('/') ? root_ : root_ + '/';
        return path == root_ || path.startsWith(rootWithSeparator) ||
               root_.startsWith(path.endsWith('/') ? path : path + '/');
    }

  private:
    QFileSystemModel* files_;
    QString root_;
};

}  // namespace

bool BrowseFolder(const std::string& title, const std::string& root, std::string& folder) {
    if (!FolderExists(folder))
        folder.clear();

    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("Browse for Folder"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QString::fromStdString(title), &dialog));

    // The model speaks with "/" on every platform; the system's paths carry
    // its own separator. The whole file system is "/", or all drives.
    const QString everything = QDir::separator() == '/' ? QStringLiteral("/") : QString();
    auto* files = new QFileSystemModel(&dialog);
    files->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    files->setRootPath(everything);
    const bool restricted = FolderExists(root);
    const QString rootPath = QDir::fromNativeSeparators(QString::fromStdString(root));
    auto* filter = new RootOnlyFilter(files, restricted ? rootPath : everything, &dialog);

    auto* tree = new QTreeView(&dialog);
    tree->setObjectName(QStringLiteral("FolderTree"));
    tree->setModel(filter);
    for (int column = 1; column < files->columnCount(); ++column) tree->hideColumn(column);
    tree->header()->hide();
    const QModelIndex rootIndex = files->index(restricted ? rootPath : everything);
    tree->setRootIndex(filter->mapFromSource(rootIndex.parent()));
    const QString preselected = folder.empty()
                                    ? files->filePath(rootIndex)
                                    : QDir::fromNativeSeparators(QString::fromStdString(folder));
    const QModelIndex start = filter->mapFromSource(files->index(preselected));
    tree->setCurrentIndex(start.isValid() ? start : filter->mapFromSource(rootIndex));
    tree->scrollTo(tree->currentIndex());
    tree->expand(tree->currentIndex());
    layout->addWidget(tree);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(360, 420);

    if (dialog.exec() != QDialog::Accepted || !tree->currentIndex().isValid())
        return false;
    folder = QDir::toNativeSeparators(files->filePath(filter->mapToSource(tree->currentIndex())))
                 .toStdString();
    return true;
}
