#include "app/SystemProductChecks.h"

#include "repair/ImageHijack.h"
#include "repair/LockedFileRelease.h"
#include "repair/ProductLocation.h"

int CSystemProductChecks::RemoveImageHijack()
{
    return ::RemoveImageHijack();
}

bool CSystemProductChecks::LocateProduct()
{
    return ::LocateProduct() != FALSE;
}

int CSystemProductChecks::TestFileLock(const char *fileName)
{
    return ::TestFileLock(fileName);
}

bool CSystemProductChecks::CheckProductMainExe()
{
    return ::CheckProductMainExe() != FALSE;
}

bool CSystemProductChecks::CheckProductExe()
{
    return ::CheckProductExe() != FALSE;
}

std::uint32_t CSystemProductChecks::GetProductFileSize(const char *fileName)
{
    return ::GetProductFileSize(fileName);
}
