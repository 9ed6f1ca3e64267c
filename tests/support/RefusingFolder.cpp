#include "support/RefusingFolder.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool readCaps(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

bool writeCaps(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, data) == 0;
}

constexpr unsigned bit(int cap) { return 1u << (cap % 32); }

} // namespace

RefusingFolder::RefusingFolder(const QString &path)
    : m_path(path)
{
    if (m_path.isEmpty())   // no folder: nothing refused, nothing dropped
        return;
    __user_cap_data_struct caps[2] = {};
    if (!readCaps(caps))
        return;
    m_savedEffective[0] = caps[0].effective;
    m_savedEffective[1] = caps[1].effective;
    m_capsSaved = true;
    // Every bypass of the folder's permission bits lives in the first word.
    caps[0].effective &= ~(bit(CAP_DAC_OVERRIDE) | bit(CAP_DAC_READ_SEARCH) | bit(CAP_FOWNER));
    if (!writeCaps(caps))
        return;
    m_active = ::chmod(QFile::encodeName(m_path).constData(), 0555) == 0;
}

RefusingFolder::~RefusingFolder()
{
    restore();
}

void RefusingFolder::restore()
{
    // The permitted set was never touched, so the effective bits can be raised again.
    __user_cap_data_struct caps[2] = {};
    if (m_capsSaved && readCaps(caps)) {
        caps[0].effective = m_savedEffective[0];
        caps[1].effective = m_savedEffective[1];
        writeCaps(caps);
    }
    if (m_active)
        ::chmod(QFile::encodeName(m_path).constData(), 0700);
    m_active = false;
    m_capsSaved = false;
}

bool RefusingFolder::refuses() const
{
    if (!m_active)
        return false;
    const QByteArray probe = QFile::encodeName(m_path + QStringLiteral("/.probe"));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.constData());
        return false;
    }
    return errno == EACCES;
}
