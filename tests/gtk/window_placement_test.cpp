// The Linux window's remembered state and the present request on real GTK
// windows, on a display of the test's own with a window manager.
#include "host/gtk/window_placement.h"
#include "platform/single_instance.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

#include "tests/gtk/e2e_support.h"

namespace {

// Runs the main loop until done or the time ran out; done's last answer.
bool SpinUntil(const std::function<bool()>& done) {
    const gint64 end = g_get_monotonic_time() + ScaledMs(3000) * 1000;
    while (!done() && g_get_monotonic_time() < end) {
        while (gtk_events_pending()) gtk_main_iteration();
        g_usleep(10000);
    }
    return done();
}

GdkWindowState StateOf(GtkWindow* window) {
    return gdk_window_get_state(gtk_widget_get_window(GTK_WIDGET(window)));
}

TEST(GtkWindow, RestoresNormalMaximizedAndFullscreenAndPresentsOnRequest) {
    e2e::Display display;
    setenv("DISPLAY", display.name().c_str(), 1);
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    for (const GdkWindowState mode :
         {GdkWindowState(0), GDK_WINDOW_STATE_MAXIMIZED, GDK_WINDOW_STATE_FULLSCREEN}) {
        SCOPED_TRACE(mode);
        GtkWindowTracker tracker;
        GtkWindow* window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
        TrackWindowState(window, tracker);
        WindowRecord saved{100,
                           80,
                           500,
                           300,
                           mode == GDK_WINDOW_STATE_MAXIMIZED,
                           mode == GDK_WINDOW_STATE_FULLSCREEN};
        const PlacementDecision decision =
            DecidePlacement(saved, ListMonitorAreas(), 800, 600, true);
        ASSERT_TRUE(decision.restore) << decision.note;
        ApplyPlacement(window, decision, tracker);
        if (decision.fullscreen) gtk_window_fullscreen(window);
        gtk_widget_show(GTK_WIDGET(window));
        const auto read = [&] { return FormatWindowRecord(ReadWindowRecord(window, tracker)); };
        EXPECT_TRUE(SpinUntil([&] { return read() == FormatWindowRecord(saved); })) << read();
        // Back to normal, where it was saved: the tracked rectangle was right.
        saved.maximized = saved.fullscreen = false;
        gtk_window_unmaximize(window);
        gtk_window_unfullscreen(window);
        EXPECT_TRUE(SpinUntil([&] { return read() == FormatWindowRecord(saved); })) << read();
        gtk_widget_destroy(GTK_WIDGET(window));
    }

    const std::string native = std::string(LS_E2E_WORK_DIR) + "/present";
    std::filesystem::remove_all(native);
    std::filesystem::create_directories(native);
    std::wstring folder = Utf8ToWide(native);
    for (auto& unit : folder)
        if (unit == L'/') unit = L'\\';
    InstanceLock lock;
    std::string problem;
    ASSERT_TRUE(lock.Claim(folder, problem)) << problem;
    GtkWindow* window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    gtk_widget_show(GTK_WIDGET(window));
    ASSERT_NE(PresentOnRequest(lock, window), 0u);
    gtk_window_iconify(window);
    ASSERT_TRUE(SpinUntil([&] { return StateOf(window) & GDK_WINDOW_STATE_ICONIFIED; }));
    const pid_t second = fork();
    if (second == 0) _exit(AskRunningInstanceToPresent(folder, 1000) ? 0 : 3);
    int status = -1;
    SpinUntil([&] { return waitpid(second, &status, WNOHANG) == second; });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(SpinUntil([&] { return !(StateOf(window) & GDK_WINDOW_STATE_ICONIFIED); }));
}

}  // namespace
