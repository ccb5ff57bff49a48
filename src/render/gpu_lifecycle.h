// The GPU path runs on OpenGL through the platform's device, under Direct3D-era names.
// Device lifecycle: create, check, reset, release, the fall-back to CPU drawing and the hooks.
#pragma once

#include <cstdint>

namespace korvel {

int32_t InitDirect3D();        // 0, or 1 on any failure
int32_t CreateD3DDevice();     // 0 or -1
int32_t CheckDeviceCaps();     // 0 or 1
int32_t SetDefaultRenderStates();
int32_t CreateFrameEffect();   // 0 or -1
int32_t ResetDeviceOrFallBack();  // 0 re-created, -1 fell back to CPU drawing
int32_t ReleaseDirect3D();
// CPU drawing for good: the drawing mode falls back and window 0's root layer is marked wholly
// changed, so a still scene is drawn by the CPU next frame.
void FallBackFromGpu();

// The hooks: start-up's last step (1 falls back, start-up shows the message) and shutdown's.
int InitGpuHook();
void ReleaseGpuHook();
// Installs the hooks, sprite paste and the texture release (once, with the other wiring).
void InstallGpuPath();
// The presenter's GPU path and the capture, after the per-run state they live in was reset. Before
// the device exists (a game thread may present while start-up makes it) they draw nothing.
void InstallGpuFrameHooks();
// GPU drawing is chosen and a device can exist (the "DirectX version" figure).
bool GpuDrawingAvailable();

}  // namespace korvel
