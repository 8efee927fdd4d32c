#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace foresyn {

// A hidden folder inside a target folder in which a set of files is
// prepared before any of them is visible there. Files are saved into Path()
// with the usual atomic save; Commit then moves them into the target folder
// in quick succession, so a failed run leaves no partial set behind: on any
// error every file already moved goes back and every file it replaced is
// restored. The folder and what is left in it are removed with the object.
class TStagingFolder {
public:
    // TError names the target folder when the staging folder cannot be made.
    explicit TStagingFolder(const QString& targetFolder);
    TStagingFolder(const TStagingFolder&) = delete;
    TStagingFolder& operator=(const TStagingFolder&) = delete;

    const QString& TargetFolder() const noexcept { return target_; }
    // The staging folder itself.
    QString Folder() const { return dir_.path(); }
    // Where a file that is to become TargetFolder()/name is saved first.
    QString Path(const QString& name) const;

    // Moves the named files that were saved into the staging folder to the
    // target folder, in the order given, replacing files of the same names;
    // names without a staged file are skipped. Returns the target paths.
    // All or nothing: TError names the file that could not be moved, after
    // the folder has been put back as it was.
    QStringList Commit(const QStringList& names);

private:
    QString target_;
    QTemporaryDir dir_;
};

} // namespace foresyn
