#include "kernel/mailbox.h"

#include "kernel/kernel_object.h"

bool PostKernelMessage(std::uint32_t code, std::uint32_t param1, std::uint32_t param2,
                       std::uint32_t timeoutMs) {
    KernelObject* app = g_lpApp;
    if (!app ||
        platform::WaitForObject(app->h_KernelMessageFreeSem, timeoutMs) != platform::kWaitObject0) {
        return false;
    }
    app->m_dwKernelMessage = code;
    app->m_dwKernelParam1 = param1;
    app->m_dwKernelParam2 = param2;
    return platform::ReleaseSemaphore(app->h_KernelMessagePostSem);
}
