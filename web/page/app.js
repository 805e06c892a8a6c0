// The office page of the console: log-in, the live feed over a WebSocket,
// and the commands. Everything shown comes from the console's JSON and is
// put on the page as text, never as HTML.
'use strict';

(function () {
  const $ = (id) => document.getElementById(id);

  // The CSRF token lives in this page's memory only: a reload asks for the
  // password again, and no other page can read it.
  let csrf = '';
  let socket = null;
  let retryDelay = 1000;
  let retryTimer = 0;
  let loggedIn = false;
  let busy = false;
  let nextRow = 0;

  const stateTexts = { waiting: '等待', done: '已播', cancelled: '已取消' };

  // Messages for refusals that came without one of their own.
  const fallbackMessages = {
    wrong_password: '密码不正确。',
    too_many_attempts: '登录失败次数过多，请稍后再试。',
    no_session: '登录已过期，请重新登录。',
    csrf: '页面已过期，请重新登录。',
    unknown_row: '没有这一项。',
    not_possible: '这一项现在不能这样操作。',
  };

  let noticeTimer = 0;

  // Errors stay until the next action; a success fades after a moment.
  function showNotice(text, kind) {
    const notice = $('notice');
    window.clearTimeout(noticeTimer);
    notice.textContent = text;
    notice.className = 'notice ' + (kind || 'error');
    notice.hidden = !text;
    if (text && kind === 'ok')
      noticeTimer = window.setTimeout(() => { notice.hidden = true; }, 3000);
  }

  async function errorText(response) {
    try {
      const body = await response.json();
      if (body && typeof body.message === 'string' && body.message)
        return body.message;
      if (body && fallbackMessages[body.error])
        return fallbackMessages[body.error];
    } catch (e) {
      // Not JSON: the status says enough.
    }
    return '操作未能完成（错误 ' + response.status + '）。';
  }

  function setFeed(text, on) {
    const feed = $('feed');
    feed.textContent = text;
    feed.className = 'badge ' + (on ? 'on' : 'off');
  }

  // ---- log-in ----

  function showLogin(message) {
    loggedIn = false;
    csrf = '';
    closeFeed();
    $('console').hidden = true;
    $('logout').hidden = true;
    $('login').hidden = false;
    setFeed('未连接', false);
    showNotice(message || '', 'error');
    $('password').value = '';
  }

  async function login(event) {
    event.preventDefault();
    const button = $('login-button');
    button.disabled = true;
    try {
      const response = await fetch('/api/v1/login', {
        method: 'POST',
        credentials: 'same-origin',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ password: $('password').value }),
      });
      if (!response.ok) {
        showNotice(await errorText(response), 'error');
        return;
      }
      const answer = await response.json();
      csrf = String(answer.csrf || '');
      loggedIn = true;
      $('password').value = '';
      $('login').hidden = true;
      $('console').hidden = false;
      $('logout').hidden = false;
      showNotice('', '');
      await refresh();
      openFeed();
    } catch (e) {
      showNotice('无法连接到控制台。', 'error');
    } finally {
      button.disabled = false;
    }
  }

  async function logout() {
    if (!window.confirm('确定要退出登录吗?'))
      return;
    try {
      await fetch('/api/v1/logout', {
        method: 'POST',
        credentials: 'same-origin',
        headers: { 'Content-Type': 'application/json', 'X-CSRF-Token': csrf },
        body: '{}',
      });
    } catch (e) {
      // Logged out here whatever the console answered.
    }
    showLogin('已退出登录。');
  }

  // ---- reads ----

  async function read(path) {
    const response = await fetch(path, { credentials: 'same-origin' });
    if (response.status === 401) {
      showLogin(await errorText(response));
      return null;
    }
    if (!response.ok)
      throw new Error(await errorText(response));
    return response.json();
  }

  async function refresh() {
    const status = await read('/api/v1/status');
    if (status)
      renderStatus(status);
    const today = await read('/api/v1/today');
    if (today)
      renderToday(today.rows || []);
  }

  // ---- the live feed ----

  function closeFeed() {
    window.clearTimeout(retryTimer);
    retryTimer = 0;
    if (socket) {
      const old = socket;
      socket = null;
      old.onclose = null;
      old.close();
    }
  }

  function openFeed() {
    closeFeed();
    const scheme = window.location.protocol === 'https:' ? 'wss://' : 'ws://';
    const ws = new WebSocket(scheme + window.location.host + '/ws');
    socket = ws;
    ws.onopen = () => {
      retryDelay = 1000;
      setFeed('实时', true);
    };
    ws.onmessage = (event) => {
      let message;
      try {
        message = JSON.parse(event.data);
      } catch (e) {
        return;
      }
      if (message.type === 'status' && message.status)
        renderStatus(message.status);
      else if (message.type === 'today')
        renderToday(message.rows || []);
    };
    ws.onclose = () => {
      if (socket !== ws)
        return;
      socket = null;
      setFeed('已断开，正在重连…', false);
      scheduleReconnect();
    };
  }

  // Waits longer after each failure, up to half a minute, so that a console
  // restarting is not flooded by every open page at once.
  function scheduleReconnect() {
    if (!loggedIn || retryTimer)
      return;
    const delay = retryDelay;
    retryDelay = Math.min(retryDelay * 2, 30000);
    retryTimer = window.setTimeout(async () => {
      retryTimer = 0;
      try {
        // The feed closes the same way for an ended session as for a lost
        // network; a read tells them apart (401 shows the log-in).
        await refresh();
        if (loggedIn)
          openFeed();
      } catch (e) {
        scheduleReconnect();
      }
    }, delay);
  }

  // ---- rendering ----

  function renderStatus(status) {
    const clock = String(status.clock || '');
    const parts = clock.split(' ');
    $('clock').textContent = parts[1] || clock || '--:--:--';
    $('date').textContent = parts.length > 1 ? parts[0] : '';
    if (status.mode)
      $('mode').textContent = status.mode === 'manual' ? '手动' : '自动';

    const emergency = status.emergency || {};
    $('emergency-banner').hidden = !emergency.active;
    $('emergency-elapsed').textContent = emergency.active ? String(emergency.elapsed || '') : '';

    const link = status.link || {};
    const linkText = $('link');
    linkText.textContent = link.open ? '已打开' + (link.device ? '（' + link.device + '）' : '')
                                     : '未打开';
    linkText.className = 'link ' + (link.open ? 'ok' : 'bad');

    const playing = status.playing || {};
    $('playing-title').textContent = playing.active && playing.title ? playing.title : '（无）';
    $('playing-progress').value = Math.max(0, Math.min(100, Number(playing.progress) || 0));
    $('playing-position').textContent = playing.active ? String(playing.position || '').trim() : '';
    $('playing-length').textContent = playing.active ? String(playing.length || '') : '';

    $('next').textContent = status.nextText || '（无）';
    nextRow = status.next && status.next.row ? Number(status.next.row) : 0;
    markNext();

    const volume = status.volume || {};
    const span = Number(volume.maximum) - Number(volume.minimum);
    const share = span > 0 ? ((Number(volume.value) - Number(volume.minimum)) * 100) / span : 0;
    $('volume-bar').value = Math.max(0, Math.min(100, share));
    $('volume-value').textContent = volume.value === undefined ? '--' : String(volume.value);
  }

  function markNext() {
    for (const item of $('rows').children)
      item.classList.toggle('next', Number(item.dataset.row) === nextRow);
  }

  function cell(className, text) {
    const span = document.createElement('span');
    span.className = className;
    span.textContent = text;
    return span;
  }

  function rowButton(text, className, handler) {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = className;
    button.textContent = text;
    button.addEventListener('click', handler);
    return button;
  }

  function describe(row) {
    return '第 ' + row.row + ' 项（' + row.time + ' ' + (row.detail || row.title || '') + '）';
  }

  function renderToday(rows) {
    const list = $('rows');
    const items = [];
    for (const row of rows) {
      const item = document.createElement('li');
      item.dataset.row = String(row.row);
      item.className = 'row ' + (row.state || 'waiting');
      const text = document.createElement('div');
      text.className = 'row-text';
      text.append(cell('time', row.time || ''), cell('detail', row.detail || ''),
                  cell('title', row.title || ''));
      const state = cell('state', stateTexts[row.state] || row.stateText || '');
      const buttons = document.createElement('div');
      buttons.className = 'row-buttons';
      buttons.append(rowButton('播放', '', () =>
        command('play', row.row, '确定要播放' + describe(row) + '吗?')));
      if (row.state === 'waiting') {
        buttons.append(rowButton('取消', 'danger', () =>
          command('cancel', row.row, '确定要取消' + describe(row) + '吗?')));
      } else if (row.state === 'cancelled') {
        buttons.append(rowButton('恢复', '', () =>
          command('restore', row.row, '确定要恢复' + describe(row) + '吗?')));
      }
      item.append(text, state, buttons);
      items.push(item);
    }
    list.replaceChildren(...items);
    $('count').textContent = rows.length ? '（' + rows.length + ' 项）' : '';
    $('empty').hidden = rows.length > 0;
    markNext();
  }

  // ---- commands ----

  async function command(action, row, question) {
    if (busy || !window.confirm(question))
      return;
    busy = true;
    document.body.classList.add('busy');
    const body = row ? { action: action, row: row } : { action: action };
    try {
      const response = await fetch('/api/v1/command', {
        method: 'POST',
        credentials: 'same-origin',
        headers: { 'Content-Type': 'application/json', 'X-CSRF-Token': csrf },
        body: JSON.stringify(body),
      });
      if (response.status === 401) {
        showLogin(await errorText(response));
      } else if (!response.ok) {
        showNotice(await errorText(response), 'error');
      } else {
        showNotice('已执行。', 'ok');
      }
    } catch (e) {
      showNotice('无法连接到控制台，命令未发出。', 'error');
    } finally {
      busy = false;
      document.body.classList.remove('busy');
    }
  }

  function bind(id, action, question) {
    $(id).addEventListener('click', () => command(action, 0, question));
  }

  document.addEventListener('DOMContentLoaded', () => {
    $('login-form').addEventListener('submit', login);
    $('logout').addEventListener('click', logout);
    bind('stop', 'stop', '确定要停止播放吗?');
    bind('volume-up', 'volume_up', '确定要增加音量吗?');
    bind('volume-down', 'volume_down', '确定要减小音量吗?');
    bind('all-on', 'all_on', '确定要全部打开吗?');
    bind('all-off', 'all_off', '确定要全部关闭吗?');
    bind('emergency-start', 'emergency_start', '确定要开始紧急广播吗?全部终端、功放和设备将打开。');
    bind('emergency-end', 'emergency_end', '确定要结束紧急广播吗?');
    showLogin('');
  });
})();
