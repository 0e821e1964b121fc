// The loader's notice that the process is detaching the library. Each platform
// delivers it its own way (a DLL entry point, a destructor hook) and calls this
// one function, which the frame defines.
#pragma once

namespace qel::frame {
void OnProcessDetach() noexcept;
}
