// Resource ids, shared by app.rc and the C++ code. Plain preprocessor only, so that the resource
// compiler can read it.
#pragma once

#define IDI_APP 1  // the application icon: LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP))
