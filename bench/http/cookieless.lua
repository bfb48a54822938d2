-- wrk script: requests without a cookie, as crawlers and first visits send
-- them: the login page, the home page and a failed login, in turn.
local paths = { "/Login.asp", "/", "/Login.asp" }
local counter = 0
function init(args)
  origin = wrk.scheme .. "://" .. wrk.host .. ":" .. wrk.port
end

function request()
  counter = counter + 1
  local i = counter % 3 + 1
  if i == 3 then
    return wrk.format("POST", paths[i], {
      ["Content-Type"] = "application/x-www-form-urlencoded",
      ["Origin"] = origin,
    }, "username=nobody&password=wrong")
  end
  return wrk.format("GET", paths[i])
end
