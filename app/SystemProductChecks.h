// The workflow's questions answered by the real product checks.
#pragma once

#include "app/RepairWorkflow.h"

class CSystemProductChecks : public ProductChecks {
public:
    int RemoveImageHijack() override;
    bool LocateProduct() override;
    int TestFileLock(const char *fileName) override;
    bool CheckProductMainExe() override;
    bool CheckProductExe() override;
    std::uint32_t GetProductFileSize(const char *fileName) override;
};
