#pragma once
// The two bindings of the window system, one .cpp each in its own folder;
// window_system.cpp picks one by the saver window's platform. Only
// window_system.cpp calls these. A binding touches nothing of the frame
// side: the GL surface is released by the caller before a binding's
// destroy and release, and its plan applied by the caller.
#include "frame/gl_surface.h"
#include "host/window_system.h"

namespace starbloom {

bool x11Open(SaverWindow& w, bool sayWhy);
void x11Close(SaverWindow& w);
bool x11SaverRuns(SaverWindow& w);
bool x11Create(SaverWindow& w, unsigned long parent, int width, int height);
void x11Show(SaverWindow& w);
void x11Destroy(SaverWindow& w);
void x11Release(SaverWindow& w);
bool x11TakeEvents(SaverWindow& w, WindowEvents& batch);
bool x11Seen(SaverWindow& w);
void x11Wait(SaverWindow& w, int ms, WindowEvents& batch);
bool x11Vanished(SaverWindow& w);
WindowGeometry x11Describe(SaverWindow& w);
OutputLayout x11Layout(SaverWindow& w);
SurfacePlan x11PrepareGl(SaverWindow& w);
bool x11Pointer(SaverWindow& w, int& x, int& y);
void x11ApplyCursor(SaverWindow& w);
void x11Clear(SaverWindow& w);
void x11LoadPreview(SaverWindow& w);
void x11ShowPreview(SaverWindow& w);
void x11FreePreview(SaverWindow& w);

bool waylandOpen(SaverWindow& w, bool sayWhy);
void waylandClose(SaverWindow& w);
bool waylandSaverRuns(SaverWindow& w);
bool waylandCreate(SaverWindow& w, int width, int height);
void waylandDestroy(SaverWindow& w);
bool waylandTakeEvents(SaverWindow& w, WindowEvents& batch);
void waylandWait(SaverWindow& w, int ms, WindowEvents& batch);
WindowGeometry waylandDescribe(SaverWindow& w);
OutputLayout waylandLayout(SaverWindow& w);
SurfacePlan waylandPrepareGl(SaverWindow& w);

} // namespace starbloom
