#pragma once
// The operating system's answer to "is a network connection up?"; contacts no server.

bool isNetworkUp();
