// Cursor pictures are image files of the resource tree rather than executable resources; a BMP with an alpha
// channel, hot spot at its top-left corner.
#include "window_cursor.h"

#include <SDL.h>

#include <cstdio>
#include <vector>

#include "window_internal.h"

namespace platform {
namespace {

constexpr const char* kTag = "Window";
constexpr KDsize kMaxCursorFile = 4 * 1024 * 1024;

// The whole file through the engine's file layer, so cursors may come from archives and language folders too.
bool readResource(const char* path, std::vector<unsigned char>& bytes) {
    KDFile* file = kdFopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    unsigned char chunk[4096];
    bool ok = true;
    for (;;) {
        const KDsize got = kdFread(chunk, 1, sizeof chunk, file);
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > kMaxCursorFile) {
            ok = false;
            break;
        }
        if (got < sizeof chunk) {
            break;
        }
    }
    kdFclose(file);
    return ok && !bytes.empty();
}

SDL_Cursor* loadCursor(const char* name) {
    char path[256];
    std::snprintf(path, sizeof path, "res/cursors/%s.bmp", name);
    std::vector<unsigned char> bytes;
    if (!readResource(path, bytes)) {
        return nullptr;
    }
    SDL_Surface* surface =
        SDL_LoadBMP_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    if (surface == nullptr) {
        logWarning(kTag, "can't read cursor %s: %s", path, SDL_GetError());
        return nullptr;
    }
    SDL_Cursor* cursor = SDL_CreateColorCursor(surface, 0, 0);
    SDL_FreeSurface(surface);
    return cursor;
}

bool isPlainName(const char* name) {
    if (*name == '\0' || *name == '.') {
        return false;
    }
    for (const char* c = name; *c != '\0'; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
                           *c == '_' || *c == '-' || *c == '.';
        if (!plain || c - name > 64) {
            return false;
        }
    }
    return true;
}

void showCursor(KDWindow* window, SDL_Cursor* cursor) {
    if (cursor == nullptr) {
        cursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    }
    SDL_Cursor* old = window->m_cursor;
    window->m_cursor = cursor;
    if (cursor != nullptr) {
        SDL_SetCursor(cursor);
    }
    SDL_ShowCursor(SDL_ENABLE);
    if (old != nullptr) {
        SDL_FreeCursor(old);
    }
}

} // namespace

KDint setWindowCursorId(KDWindow* window, KDint32 id) {
    char name[16];
    std::snprintf(name, sizeof name, "%d", id);
    window->m_cursorId = id;
    showCursor(window, loadCursor(name));
    return 0;
}

KDint setWindowCursorName(KDWindow* window, const KDchar* name) {
    showCursor(window, isPlainName(name) ? loadCursor(name) : nullptr);
    return 0;
}

void releaseWindowCursor(KDWindow* window) {
    if (window->m_cursor != nullptr) {
        SDL_SetCursor(SDL_GetDefaultCursor());
        SDL_FreeCursor(window->m_cursor);
        window->m_cursor = nullptr;
    }
}

} // namespace platform
