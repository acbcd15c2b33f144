"""Option lists the application and the engine agree on."""

# Best first: a later entry is a lower quality. "audio" means no video at all.
QUALITIES = ["8K", "4K", "1440p", "1080p", "720p", "480p", "360p", "audio"]
DEFAULT_QUALITY = "1080p"
# Height in pixels of each video quality, for matching a source's formats.
QUALITY_HEIGHTS = {"8K": 4320, "4K": 2160, "1440p": 1440, "1080p": 1080, "720p": 720, "480p": 480, "360p": 360}

CONTAINERS = ["MP4", "MKV", "WEBM", "MOV", "MP3", "M4A", "OPUS", "WAV", "FLAC"]
AUDIO_CONTAINERS = ["MP3", "M4A", "OPUS", "WAV", "FLAC"]
DEFAULT_CONTAINER = "MP4"

VIDEO_CODECS = ["Auto", "H.264", "H.265", "VP9", "AV1"]
DEFAULT_VIDEO_CODEC = "Auto"
# Video codecs each video container can hold.
CONTAINER_CODECS = {
    "MP4": ["Auto", "H.264", "H.265", "AV1"],
    "MKV": ["Auto", "H.264", "H.265", "VP9", "AV1"],
    "WEBM": ["Auto", "VP9", "AV1"],
    "MOV": ["Auto", "H.264", "H.265"],
}

SUBTITLE_MODES = ["off", "file", "embed", "both"]
# Containers that can carry embedded subtitles.
SUBTITLE_EMBED_CONTAINERS = ["MP4", "MKV", "WEBM", "MOV"]

COOKIE_NONE = "None"
COOKIE_BUILTIN = "Built-in Browser"
# The engine reads no desktop browser's cookie store, so it offers only these two.
COOKIE_SOURCES = [COOKIE_NONE, COOKIE_BUILTIN]

APPEARANCES = ["auto", "light", "dark"]
LANGUAGES = ["en", "fr", "de", "es", "nl"]
SPEED_MODES = ["auto", "fast", "gentle"]

# Name -> URL prefix to which the percent-encoded search text is appended.
SEARCH_ENGINES = {
    "DuckDuckGo": "https://duckduckgo.com/?q=",
    "Google": "https://www.google.com/search?q=",
    "Bing": "https://www.bing.com/search?q=",
    "Startpage": "https://www.startpage.com/do/search?q=",
    "Qwant": "https://www.qwant.com/?q=",
    "Ecosia": "https://www.ecosia.org/search?q=",
}
DEFAULT_SEARCH_ENGINE = "DuckDuckGo"

MEDIA_EXTENSIONS = [
    ".mp4", ".m4v", ".mkv", ".webm", ".mov", ".avi", ".flv", ".wmv", ".mpg", ".mpeg", ".ts", ".3gp", ".ogv",
    ".mp3", ".m4a", ".aac", ".opus", ".ogg", ".oga", ".wav", ".flac", ".wma", ".aiff", ".aif",
]

DOWNLOAD_WORKERS = 3
