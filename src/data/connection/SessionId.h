#pragma once

#include <QtGlobal>

class Connection;

// The server's number of the session the open connection is on, asked under its command time-out;
// 0 where the server's dialect has no way to tell. Throws DatabaseError.
qint64 OwnSessionId(Connection& connection);
