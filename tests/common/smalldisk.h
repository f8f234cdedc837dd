#pragma once

#include <QString>

// A small tmpfs mounted over a folder, in a mount namespace of the test's own so nobody else sees it.
// Needs root: enterPrivateMounts() runs before any thread exists (QUILLORA_TEST_MAIN's hook).
namespace SmallDisk {

void enterPrivateMounts();
bool available(); // the namespace was entered

// Mounts over folder for the life of the object; filled() uses up its space through a file of its own
// in a subfolder, which leaves the folder's own entries alone.
class Mount
{
public:
    Mount(const QString &folder, int kilobytes);
    ~Mount();
    Mount(const Mount &) = delete;
    Mount &operator=(const Mount &) = delete;

    bool mounted() const { return m_mounted; }
    bool fill();
    bool drain(); // gives back what fill() took
    bool makeReadOnly();

private:
    QString m_folder;
    bool m_mounted = false;
};

} // namespace SmallDisk
